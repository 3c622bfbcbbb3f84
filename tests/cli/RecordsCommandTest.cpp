// The times a records lookup takes, as an operator types them.
#include <gtest/gtest.h>

#include "cli/RecordsCommand.h"

namespace {

struct TimeCase {
    const char* typed;
    const char* kept;  // nullptr: refused
};

class RecordsTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(RecordsTime, BecomesTheFormTheRecordsKeep) {
    const std::optional<std::string> time = cli::ParseRecordsTime(GetParam().typed);
    if (GetParam().kept == nullptr) {
        EXPECT_EQ(time, std::nullopt) << *time;
    } else {
        EXPECT_EQ(time, std::optional<std::string>(GetParam().kept));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Typed, RecordsTime,
    ::testing::Values(TimeCase{"2026-12-09", "2026-12-09T00:00:00.000Z"},
                      TimeCase{"2026-12-09T10:30", "2026-12-09T10:30:00.000Z"},
                      TimeCase{"2026-12-09 10:30:05", "2026-12-09T10:30:05.000Z"},
                      TimeCase{"2026-12-09T10:30:05Z", "2026-12-09T10:30:05.000Z"},
                      TimeCase{"2026-12-09T10:30:05.123Z", "2026-12-09T10:30:05.123Z"},
                      TimeCase{"2026-12-9", nullptr}, TimeCase{"2026-13-09", nullptr},
                      TimeCase{"2026-12-00", nullptr}, TimeCase{"2026-12-09T24:00", nullptr},
                      TimeCase{"2026-12-09T10:60", nullptr}, TimeCase{"yesterday", nullptr},
                      TimeCase{"", nullptr}, TimeCase{"2026-12-09T10:30+08:00", nullptr},
                      TimeCase{"2026/12/09", nullptr}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace

#include <sstream>

#include "LanguageForTheTest.h"
#include "SampleRecord.h"
#include "TempDir.h"
#include "records/SqliteRecordStore.h"

namespace {

// Two records as a file keeps them, with what each format must escape: a
// terminal's control bytes, GB18030 text, a cell that reads as a formula,
// quotes and commas, a size and none.
std::vector<records::DeviceRecord> ListedRecords() {
    records::DeviceRecord first =
        testsupport::SampleRecord("860000000000001", "2026-12-09T10:00:01.001Z");
    first.id = "3ef052cf-4523-49bb-8af8-a39d69d30fcb";
    first.version = "KV\x1B[2J\x7F" + testsupport::kGbValue;
    first.message = "Held, \"as read\"";
    records::DeviceRecord second = testsupport::SampleRecord(
        "860000000000002", "2026-12-09T10:00:02.002Z", records::Result::Failed, "=st,2");
    second.id = "00000000-0000-4000-8000-000000000002";
    second.firmwareBytes.reset();
    second.operatorName.clear();
    second.message = "Failed to get IMEI from Kavrel!";
    return {first, second};
}

// The message id and the files of both records, as the sample has them.
const std::string kJsonSampleFiles =
    "    \"message_id\": \"IDS_CLI_READ_BACK_HOLDS\",\n"
    "    \"profile_name\": \"profile.txt\",\n"
    "    \"profile_sha256\": "
    "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\",\n"
    "    \"firmware_name\": \"fw.bin\",\n"
    "    \"firmware_sha256\": "
    "\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\",\n";
// What the listing printed when it was written whole, before it streamed.
const std::string kJson =
    "[\n"
    "  {\n"
    "    \"id\": \"00000000-0000-4000-8000-000000000002\",\n"
    "    \"started_at\": \"2026-12-09T10:00:02.002Z\",\n"
    "    \"finished_at\": \"2026-12-09T10:00:02.002Z\",\n"
    "    \"station\": \"=st,2\",\n"
    "    \"operator\": \"\",\n"
    "    \"port\": \"/dev/ttyUSB0\",\n"
    "    \"command\": \"batch\",\n"
    "    \"imei\": \"860000000000002\",\n"
    "    \"version\": \"KV-2.1.7\",\n"
    "    \"result\": \"failed\",\n"
    "    \"message\": \"Failed to get IMEI from Kavrel!\",\n" +
    kJsonSampleFiles +
    "    \"firmware_bytes\": null,\n"
    "    \"tool_version\": \"0.1.0\"\n"
    "  },\n"
    "  {\n"
    "    \"id\": \"3ef052cf-4523-49bb-8af8-a39d69d30fcb\",\n"
    "    \"started_at\": \"2026-12-09T10:00:01.001Z\",\n"
    "    \"finished_at\": \"2026-12-09T10:00:01.001Z\",\n"
    "    \"station\": \"line1-st3\",\n"
    "    \"operator\": \"\xE7\x8E\x8B\xE5\xB7\xA5\",\n"
    "    \"port\": \"/dev/ttyUSB0\",\n"
    "    \"command\": \"batch\",\n"
    "    \"imei\": \"860000000000001\",\n"
    "    \"version\": \"KV\\u001b[2J\\u007f\xE5\x80\xBC\",\n"
    "    \"result\": \"ok\",\n"
    "    \"message\": \"Held, \\\"as read\\\"\",\n" +
    kJsonSampleFiles +
    "    \"firmware_bytes\": 65536,\n"
    "    \"tool_version\": \"0.1.0\"\n"
    "  }\n"
    "]\n";
const char* const kCsv =
    "Started (UTC),Result,IMEI,Station,Port,Command,Message,Record\r\n"
    "2026-12-09T10:00:02.002Z,failed,860000000000002,\"'=st,2\",/dev/ttyUSB0,batch,Failed to get "
    "IMEI from Kavrel!,00000000-0000-4000-8000-000000000002\r\n"
    "2026-12-09T10:00:01.001Z,ok,860000000000001,line1-st3,/dev/ttyUSB0,batch,\"Held, \"\"as "
    "read\"\"\",3ef052cf-4523-49bb-8af8-a39d69d30fcb\r\n";
const char* const kTable =
    "Started (UTC)             Result  IMEI             Station    Port          Command  Message  "
    "                        Record\n"
    "2026-12-09T10:00:02.002Z  failed  860000000000002  =st,2      /dev/ttyUSB0  batch    Failed "
    "to get IMEI from Kavrel!  00000000-0000-4000-8000-000000000002\n"
    "2026-12-09T10:00:01.001Z  ok      860000000000001  line1-st3  /dev/ttyUSB0  batch    Held, "
    "\"as read\"                  3ef052cf-4523-49bb-8af8-a39d69d30fcb\n";

struct ListingCase {
    const char* name;
    cli::RecordsFormat format;
    std::string expected;
};

class RecordsListing : public ::testing::TestWithParam<ListingCase> {
protected:
    testsupport::EnglishForTheTest english_;
    testsupport::TempDir dir_;
};

// The listing is written as it comes; the bytes are those of the whole list
// written at once.
TEST_P(RecordsListing, WritesTheBytesOfTheWholeList) {
    records::RecordsSetting where;
    where.localPath = (dir_.Path() / "r.db").string();
    {
        records::SqliteRecordStore store(where.localPath);
        for (const records::DeviceRecord& record : ListedRecords()) {
            store.Add(record);
        }
    }
    std::ostringstream out;
    std::ostringstream err;
    cli::Console console(out, err, cli::Verbosity::Normal, cli::ErrStream::Plain);
    EXPECT_EQ(cli::RunRecordsList(console, where, {}, GetParam().format), 0) << err.str();
    EXPECT_EQ(out.str(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordsListing,
                         ::testing::Values(ListingCase{"Json", cli::RecordsFormat::Json, kJson},
                                           ListingCase{"Csv", cli::RecordsFormat::Csv, kCsv},
                                           ListingCase{"Table", cli::RecordsFormat::Table, kTable}),
                         [](const auto& info) { return std::string(info.param.name); });

// The table names the source only for a record where some item has one, so a
// record of a profile alone reads as it always has; JSON and CSV always do.
TEST(RecordsShow, SaysWhereTheValuesCameFrom) {
    const testsupport::EnglishForTheTest english;
    const testsupport::TempDir dir;
    const auto shown = [&](bool sourced, cli::RecordsFormat format) {
        records::DeviceRecord record = testsupport::SampleRecord("8600", "2026-12-09T10:00:00Z");
        record.items[0].source = sourced ? record.items[0].source : "";
        records::RecordsSetting where;
        where.localPath = (dir.Path() / "r.db").string();
        records::SqliteRecordStore(where.localPath).Add(record);
        std::ostringstream out;
        cli::Console console(out, out, cli::Verbosity::Normal, cli::ErrStream::Plain);
        cli::RunRecordsShow(console, where, record.id, format);
        return out.str();
    };
    EXPECT_NE(
        shown(true, cli::RecordsFormat::Table)
            .find("Written  Source\n1    APN        cmnet   internet  internet  yes      "
                  "values.csv, row 2\n7    参数       值      值1       -         no       -\n"),
        std::string::npos);
    EXPECT_EQ(shown(false, cli::RecordsFormat::Table).find("Source"), std::string::npos);
    const std::string json = shown(true, cli::RecordsFormat::Json);
    EXPECT_NE(json.find("\"source\": \"values.csv, row 2\""), std::string::npos);
    EXPECT_NE(json.find("\"source\": null"), std::string::npos);
    EXPECT_TRUE(shown(false, cli::RecordsFormat::Csv)
                    .starts_with("No.,Name,Before,Wanted,Now,Written,Source\r\n"));
}

}  // namespace
