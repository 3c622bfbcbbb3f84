// The API as a client of the line sees it, against a real PostgreSQL: every
// call's answer, its refusals, and who may ask.
#include <gtest/gtest.h>

#include <set>

#include "LineFixture.h"
#include "SampleRecord.h"
#include "line/LineQueries.h"
#include "records/RecordStore.h"

namespace {

using nlohmann::json;
using testsupport::LineFixture;
using testsupport::SampleRecord;
using testsupport::SampleTime;
using Query = std::vector<std::pair<std::string, std::string>>;

class LineApiTest : public LineFixture {};

struct BadCall {
    const char* name;
    const char* path;
    Query query;
    int status;
    const char* says;
};

class LineApiRefusal : public LineFixture, public ::testing::WithParamInterface<BadCall> {};

TEST_P(LineApiRefusal, SaysWhatIsWrong) {
    const auto asked = Get(GetParam().path, GetParam().query);
    EXPECT_EQ(asked.status, GetParam().status) << asked.text;
    EXPECT_NE(asked.body.value("error", "").find(GetParam().says), std::string::npos) << asked.text;
}

INSTANTIATE_TEST_SUITE_P(
    EveryParameter, LineApiRefusal,
    ::testing::Values(
        BadCall{"Unknown", "/api/v1/records", {{"imie", "1"}}, 400, "Unknown parameter \"imie\""},
        BadCall{"Twice", "/api/v1/records", {{"imei", "1"}, {"imei", "2"}}, 400, "more than once"},
        BadCall{"Empty", "/api/v1/records", {{"station", ""}}, 400, "is empty"},
        BadCall{"NotATime", "/api/v1/records", {{"since", "yesterday"}}, 400, "not a time"},
        BadCall{"NoSuchDay", "/api/v1/yield", {{"until", "2026-02-30x"}}, 400, "not a time"},
        BadCall{
            "Result", "/api/v1/records", {{"result", "passed"}}, 400, "ok, failed, interrupted"},
        BadCall{"LimitZero", "/api/v1/records", {{"limit", "0"}}, 400, "from 1 to 1000"},
        BadCall{"LimitHuge", "/api/v1/records", {{"limit", "99999999999"}}, 400, "from 1 to 1000"},
        BadCall{"LimitSigned", "/api/v1/records", {{"limit", "-5"}}, 400, "whole number"},
        BadCall{"Cursor", "/api/v1/records", {{"cursor", "abc"}}, 400, "next_cursor"},
        BadCall{"ControlCharacters", "/api/v1/records", {{"imei", "86\n1"}}, 400, "characters"},
        BadCall{"SpanBackwards",
                "/api/v1/yield",
                {{"since", "2026-12-10"}, {"until", "2026-12-09"}},
                400,
                "span is empty"},
        BadCall{"By", "/api/v1/yield", {{"by", "day"}}, 400, "hour, station, hour,station"},
        BadCall{"Format", "/api/v1/failures", {{"format", "xml"}}, 400, "json, csv"},
        BadCall{"RecordId", "/api/v1/records/1%27%20OR%201=1", {}, 400, "not a record's ID"},
        BadCall{"NoRecord",
                "/api/v1/records/00000000-0000-4000-8000-000000000000",
                {},
                404,
                "No record"},
        BadCall{"NoCall", "/api/v1/devices", {}, 404, "no such call"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LineApiTest, ARefusalIsInTheClientsLanguage) {
    const auto asked = Get("/api/v1/records", {{"limit", "x"}}, "use-the-fixture's",
                           {{"accept-language", "zh-CN"}});
    EXPECT_EQ(asked.status, 400);
    EXPECT_NE(asked.body["error"].get<std::string>().find("整数"), std::string::npos);
}

TEST_F(LineApiTest, OnlyAKnownTokenOrALoginReads) {
    EXPECT_EQ(Get("/api/v1/stations", {}, "").status, 401);
    EXPECT_EQ(Get("/api/v1/stations", {}, "tvl_" + std::string(64, '0')).status, 401);
    EXPECT_EQ(Get("/api/v1/stations").status, 200);
    EXPECT_EQ(Get("/api/v1/openapi.json", {}, "").status, 200);

    EXPECT_EQ(LogIn("lead", "wrong-password"), "");
    const std::string viewer = LogIn("viewer", "viewer-password");
    ASSERT_NE(viewer, "");
    EXPECT_EQ(Get("/api/v1/stations", {}, "", {{"cookie", viewer}}).status, 200);
    EXPECT_EQ(Get("/api/v1/me", {}, "", {{"cookie", viewer}}).body["role"], "viewer");
    EXPECT_EQ(Get("/api/v1/tokens", {}, "", {{"cookie", viewer}}).status, 403);
}

TEST_F(LineApiTest, AnAdminMakesAndRevokesTokensAndATokenChangesNothing) {
    const std::string lead = LogIn("lead", "lead-password");
    line::HttpRequest make;
    make.method = "POST";
    make.path = "/api/v1/tokens";
    make.body = R"({"name": "second MES"})";
    make.headers = {{"cookie", lead}};
    EXPECT_EQ(Ask(make).status, 403) << "a cross-site form cannot add the header";
    make.headers.emplace_back("x-tirvel-request", "1");
    const auto made = Ask(make);
    ASSERT_EQ(made.status, 201) << made.text;
    const std::string token = made.body["token"];
    EXPECT_EQ(Get("/api/v1/records", {}, token).status, 200);

    line::HttpRequest byToken = make;
    byToken.headers = {{"authorization", "Bearer " + token}};
    EXPECT_EQ(Ask(byToken).status, 403) << "a token only reads";

    const auto listed = Get("/api/v1/tokens", {}, "", {{"cookie", lead}});
    ASSERT_EQ(listed.body["tokens"].size(), 2u);
    EXPECT_EQ(listed.text.find(token), std::string::npos) << "a token is never shown again";

    line::HttpRequest revoke;
    revoke.method = "DELETE";
    revoke.path = "/api/v1/tokens/" + std::to_string(made.body["id"].get<long long>());
    revoke.headers = {{"cookie", lead}, {"x-tirvel-request", "1"}};
    EXPECT_EQ(Ask(revoke).status, 200);
    EXPECT_EQ(Get("/api/v1/records", {}, token).status, 401);
    revoke.path = "/api/v1/tokens/999";
    EXPECT_EQ(Ask(revoke).status, 404);
}

TEST_F(LineApiTest, FiveWrongPasswordsPauseTheName) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(LogIn("lead", "guess-" + std::to_string(i)), "");
    }
    EXPECT_EQ(LogIn("lead", "lead-password"), "") << "paused, even with the right one";
    EXPECT_EQ(last_.status, 429);
    EXPECT_NE(LogIn("viewer", "viewer-password"), "") << "another name is not paused";
}

TEST_F(LineApiTest, PagesStayTheSameWhileRecordsArrive) {
    AddRecords(testsupport::NumberedSeries(250));
    std::vector<std::string> seen;
    std::string cursor;
    for (int page = 0; page < 3; ++page) {
        Query query = {{"limit", "100"}};
        if (!cursor.empty()) {
            query.emplace_back("cursor", cursor);
        }
        const auto asked = Get("/api/v1/records", query);
        ASSERT_EQ(asked.status, 200) << asked.text;
        for (const json& r : asked.body["records"]) {
            seen.push_back(r["id"]);
        }
        // Newer than everything, and at the same time as the last one paged.
        auto newer = SampleRecord("869999999999999", SampleTime(5000));
        AddRecords({newer});
        cursor = asked.body["next_cursor"].is_null() ? "" : asked.body["next_cursor"];
        if (page < 2) {
            ASSERT_NE(cursor, "");
        }
    }
    EXPECT_EQ(cursor, "");
    ASSERT_EQ(seen.size(), 250u);
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), 250u);
}

TEST_F(LineApiTest, RecordsAreFilteredAsTirvelctlFiltersThem) {
    AddRecords(testsupport::NumberedSeries(30));
    const auto imei = Get("/api/v1/records", {{"imei", "861000000000007"}});
    ASSERT_EQ(imei.body["records"].size(), 1u);
    EXPECT_EQ(imei.body["records"][0]["imei_hex"], "383631303030303030303030303037");

    const auto failedAtOne =
        Get("/api/v1/records", {{"result", "failed"}, {"station", "station-1"}});
    // Odd numbers fail; n % 3 == 1 is station-1: 1, 7, 13, 19, 25.
    EXPECT_EQ(failedAtOne.body["records"].size(), 5u);
    const auto span = Get("/api/v1/records",
                          {{"since", "2026-12-09 10:00:10"}, {"until", "2026-12-09T10:00:20Z"}});
    EXPECT_EQ(span.body["records"].size(), 10u);
    EXPECT_EQ(span.body["records"][0]["started_at"], SampleTime(19));
}

TEST_F(LineApiTest, ARecordGivesItsItemsWithTheDevicesBytes) {
    const auto record = SampleRecord("861234567890123", SampleTime(1));
    AddRecords({record});
    const auto asked = Get("/api/v1/records/" + record.id);
    ASSERT_EQ(asked.status, 200) << asked.text;
    const json& items = asked.body["items"];
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1]["name_hex"], "b2cecafd");
    EXPECT_EQ(items[1]["name_text"], "参数");
    EXPECT_EQ(items[1]["after_hex"], nullptr);
    EXPECT_EQ(items[0]["written"], true);
    EXPECT_EQ(items[2]["number"], nullptr) << "a profile key no row of the device carried";
    EXPECT_EQ(asked.body["firmware_bytes"], 65536);
}

TEST_F(LineApiTest, FirstPassYieldCountsEachDeviceByItsFirstRecord) {
    using records::Result;
    AddRecords({
        SampleRecord("86A", SampleTime(0), Result::Failed, "st1"),
        SampleRecord("86A", SampleTime(4000), Result::Ok, "st2"),  // reworked, an hour on
        SampleRecord("86B", SampleTime(1), Result::Ok, "st1"),
        SampleRecord("86C", SampleTime(2), Result::Ok, "st2"),
        SampleRecord("86C", SampleTime(3), Result::Ok, "st2"),
        SampleRecord("", SampleTime(5), Result::Interrupted, "st1"),  // a boot loader
    });
    const Query span = {{"since", "2026-12-09"}, {"until", "2026-12-10"}};
    const auto totals = Get("/api/v1/yield", span);
    ASSERT_EQ(totals.status, 200) << totals.text;
    const json& t = totals.body["totals"];
    EXPECT_EQ(t["records"], 6);
    EXPECT_EQ(t["ok"], 4);
    EXPECT_EQ(t["interrupted"], 1);
    EXPECT_EQ(t["devices"], 3);
    EXPECT_EQ(t["first_pass_ok"], 2);
    EXPECT_DOUBLE_EQ(t["first_pass_yield"].get<double>(), 2.0 / 3.0);

    Query byBoth = span;
    byBoth.emplace_back("by", "hour,station");
    const auto both = Get("/api/v1/yield", byBoth).body;
    EXPECT_EQ(both["totals"], t) << "the rows' totals are the span's";
    const auto rows = both["rows"];
    ASSERT_EQ(rows.size(), 3u) << rows.dump();
    EXPECT_EQ(rows[0]["hour"], "2026-12-09T10:00:00.000Z");
    EXPECT_EQ(rows[0]["station"], "st1");
    EXPECT_EQ(rows[0]["devices"], 2);
    EXPECT_EQ(rows[0]["first_pass_ok"], 1);
    EXPECT_EQ(rows[2]["hour"], "2026-12-09T11:00:00.000Z");
    EXPECT_EQ(rows[2]["devices"], 0) << "a device counts where it was first tried";

    Query csv = byBoth;
    csv.emplace_back("format", "csv");
    const auto table = Get("/api/v1/yield", csv);
    EXPECT_EQ(table.text.substr(0, table.text.find('\n')),
              "hour,station,records,ok,failed,interrupted,devices,first_pass_ok,"
              "first_pass_yield\r");
    EXPECT_EQ(table.Header("Content-Disposition"), "attachment; filename=\"yield.csv\"");
}

TEST_F(LineApiTest, FailuresComeByMessageLargestFirst) {
    using records::Result;
    std::vector<records::DeviceRecord> list;
    for (int i = 0; i < 5; ++i) {
        auto r = SampleRecord("86" + std::to_string(i), SampleTime(i), Result::Failed);
        r.messageId = i < 3 ? "IDS_CLI_VALUES_DIFFER" : "IDS_CLI_NO_DEVICE";
        r.message = "item " + std::to_string(i) + " differs";
        list.push_back(r);
    }
    AddRecords(list);
    const auto asked = Get("/api/v1/failures", {{"since", "2026-12-09"}, {"until", "2026-12-10"}});
    const json& failures = asked.body["failures"];
    ASSERT_EQ(failures.size(), 2u) << asked.text;
    EXPECT_EQ(failures[0]["message_id"], "IDS_CLI_VALUES_DIFFER");
    EXPECT_EQ(failures[0]["count"], 3);
    EXPECT_EQ(failures[0]["message"], "item 2 differs") << "shown by its latest words";
    const auto opened = Get("/api/v1/records", {{"message_id", "IDS_CLI_NO_DEVICE"}});
    EXPECT_EQ(opened.body["records"].size(), 2u);
}

TEST_F(LineApiTest, AStationUnheardFor30SecondsIsOffline) {
    PutStation("st-live", 2);
    PutStation("st-gone", 1, 31);
    const auto asked = Get("/api/v1/stations");
    const json& stations = asked.body["stations"];
    ASSERT_EQ(stations.size(), 2u) << asked.text;
    EXPECT_EQ(stations[0]["station"], "st-gone");
    EXPECT_EQ(stations[0]["online"], false);
    EXPECT_EQ(stations[1]["online"], true);
    ASSERT_EQ(stations[1]["ports"].size(), 2u);
    EXPECT_EQ(stations[1]["ports"][1]["imei_text"], "861000000000001");
    EXPECT_EQ(stations[1]["ports"][1]["state_text"], "正在写入");

    const auto csv = Get("/api/v1/stations", {{"format", "csv"}});
    EXPECT_EQ(std::count(csv.text.begin(), csv.text.end(), '\n'), 4) << "a line per port";
}

// The grants docs/line.md gives the server's role, and no more: it reads the
// line, and keeps its tokens, but cannot change a record.
TEST_F(LineApiTest, TheDocumentedGrantsAreEnough) {
    AddRecords({SampleRecord("861234567890123", SampleTime(1))});
    PutStation("st1", 1);
    const auto sql = [this](const std::string& statement) {
        testsupport::PostgresServer::Scalar(Uri(), statement);
    };
    sql("DO $$ BEGIN CREATE ROLE tirvel_line LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; "
        "END $$");
    sql("GRANT SELECT ON device_records, record_items, line_stations, line_station_ports, "
        "line_users TO tirvel_line");
    sql("GRANT SELECT, INSERT, UPDATE ON line_tokens TO tirvel_line");
    std::string uri = Uri();
    uri.replace(uri.find("tirvel@"), 7, "tirvel_line@");
    db_ = std::make_unique<line::LineDatabase>(uri);
    api_ = std::make_unique<line::LineApi>(*db_, hub_, sessions_);

    for (const char* path : {"/api/v1/records", "/api/v1/stations", "/api/v1/yield",
                             "/api/v1/failures", "/api/v1/health"}) {
        EXPECT_EQ(Get(path).status, 200) << path << ": " << last_.body;
    }
    const std::string lead = LogIn("lead", "lead-password");
    line::HttpRequest make;
    make.method = "POST";
    make.path = "/api/v1/tokens";
    make.body = R"({"name": "from the page"})";
    make.headers = {{"cookie", lead}, {"x-tirvel-request", "1"}};
    EXPECT_EQ(Ask(make).status, 201) << last_.body;
    EXPECT_THROW(db_->With([](records::PgConnection& c) {
        return c.Exec("DELETE FROM device_records").Rows();
    }),
                 records::StoreError);
}

TEST_F(LineApiTest, AServerWithoutTheTablesSaysSo) {
    testsupport::PostgresServer::Scalar(Uri(), "DROP TABLE record_items, device_records");
    const auto asked = Get("/api/v1/records");
    EXPECT_EQ(asked.status, 503);
    EXPECT_NE(asked.body["error"].get<std::string>().find("no station has reached it"),
              std::string::npos);
}

}  // namespace
