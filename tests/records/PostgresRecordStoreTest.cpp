// The line's shared store on a real server: a record lands once whatever is
// sent twice, device bytes come back exactly, listings filter and sort.
#include <gtest/gtest.h>

#include <chrono>

#include <atomic>
#include <thread>

#include "PostgresTest.h"
#include "SampleRecord.h"
#include "TempDir.h"
#include "records/PostgresRecordStore.h"
#include "records/ServerSchema.h"

namespace {

using records::DeviceRecord;
using records::PostgresRecordStore;
using records::RecordQuery;
using records::Result;
using records::StoreError;
using testsupport::Listed;
using testsupport::Numbered;
using testsupport::NumberedSeries;
using testsupport::SampleTime;

constexpr std::chrono::seconds kConnectTimeout(10);

std::vector<std::string> Ids(const std::vector<DeviceRecord>& found) {
    std::vector<std::string> ids;
    for (const DeviceRecord& record : found) {
        ids.push_back(record.id);
    }
    return ids;
}

class PostgresRecordStoreTest : public testsupport::PostgresTest {};

TEST_F(PostgresRecordStoreTest, ARecordComesBackAsItWasAdded) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    DeviceRecord record = Numbered(7);
    record.firmwareBytes.reset();
    record.messageId.clear();
    store.Add(record);
    EXPECT_EQ(store.Get(record.id), record);
}

TEST_F(PostgresRecordStoreTest, AddingTwiceIsAddingOnce) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    const DeviceRecord first = Numbered(1);
    store.Add(first);
    DeviceRecord again = first;
    again.message = "another";
    again.items.pop_back();
    again.items[0].after = "changed";
    store.Add(again);
    EXPECT_EQ(store.Get(first.id), first);
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records"), "1");
    EXPECT_EQ(Scalar("SELECT count(*) FROM record_items"), "3");
}

TEST_F(PostgresRecordStoreTest, AddAllKeepsTheFirstOfEachIdAndWhatTheServerHad) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    const DeviceRecord had = Numbered(1);
    store.Add(had);
    DeviceRecord hadAgain = had;
    hadAgain.items.clear();
    const DeviceRecord second = Numbered(2);
    DeviceRecord secondAgain = second;
    secondAgain.station = "elsewhere";
    store.AddAll({hadAgain, second, secondAgain, Numbered(3), second});
    EXPECT_EQ(store.Get(had.id), had);
    EXPECT_EQ(store.Get(second.id), second);
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records"), "3");
    EXPECT_EQ(Scalar("SELECT count(*) FROM record_items"), "9");
}

TEST_F(PostgresRecordStoreTest, AddAllTakesMoreRowsThanOneStatementHolds) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    const std::vector<DeviceRecord> many = NumberedSeries(1700);
    store.AddAll(many);
    EXPECT_EQ(store.Find({}).size(), 1700u);
    EXPECT_EQ(Scalar("SELECT count(*) FROM record_items"), "5100");
    EXPECT_EQ(store.Get(many[1234].id), many[1234]);
}

TEST_F(PostgresRecordStoreTest, AFailedAddAllAddsNone) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    DeviceRecord bad = Numbered(2);
    bad.startedAt = "not a time";
    try {
        store.AddAll({Numbered(1), bad});
        FAIL() << "a record the server refuses was taken";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Other);
        EXPECT_NE(std::string(error.what()).find("not a time"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(store.Find({}).empty());
    store.Add(Numbered(3));  // the store goes on after the server refused one
    EXPECT_EQ(store.Find({}).size(), 1u);
}

TEST_F(PostgresRecordStoreTest, FindListsNewestFirstWithoutItems) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    const std::vector<DeviceRecord> added = {Numbered(20), Numbered(5), Numbered(12)};
    store.AddAll(added);
    EXPECT_EQ(store.Find({}),
              (std::vector<DeviceRecord>{Listed(added[0]), Listed(added[2]), Listed(added[1])}));
}

// A listing read row by row and left midway (its reader failed) leaves the
// rest of the answer on the connection; the store must not take it for the
// answer to its next statement.
TEST_F(PostgresRecordStoreTest, AListingLeftMidwayLeavesTheStoreAnswering) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    const std::vector<DeviceRecord> many = NumberedSeries(600);
    store.AddAll(many);
    int seen = 0;
    EXPECT_THROW(store.ForEach({},
                               [&seen](const DeviceRecord& record) {
                                   if (++seen == 3) {
                                       throw std::runtime_error(record.id);
                                   }
                               }),
                 std::runtime_error);
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(store.Get(many[42].id), many[42]);
    EXPECT_EQ(store.Find({}).size(), 600u);
}

TEST_F(PostgresRecordStoreTest, FindFilters) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    std::vector<DeviceRecord> all = NumberedSeries(10);
    all[4].imei = all[7].imei = "861000000000999";
    store.AddAll(all);
    auto found = [&](const RecordQuery& query) { return Ids(store.Find(query)); };
    auto ids = [&](std::initializer_list<int> numbers) {
        std::vector<std::string> expected;
        for (int n : numbers) {
            expected.push_back(all[static_cast<std::size_t>(n)].id);
        }
        return expected;
    };

    RecordQuery byImei;
    byImei.imei = "861000000000999";
    EXPECT_EQ(found(byImei), ids({7, 4}));

    RecordQuery window;
    window.since = SampleTime(3);  // inclusive
    window.until = SampleTime(6);  // exclusive
    EXPECT_EQ(found(window), ids({5, 4, 3}));

    RecordQuery ok;
    ok.result = Result::Ok;
    ok.station = "station-2";  // numbers 2, 5, 8; ok the even ones
    EXPECT_EQ(found(ok), ids({8, 2}));

    RecordQuery limited;
    limited.limit = 2;
    EXPECT_EQ(found(limited), ids({9, 8}));

    RecordQuery none;
    none.imei = "86";  // the whole IMEI, not a part of it
    EXPECT_TRUE(found(none).empty());
}

TEST_F(PostgresRecordStoreTest, GetGivesItemsInOrderAndNothingForUnknownIds) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    DeviceRecord record = Numbered(1);
    for (int n = 3; n < 15; ++n) {
        record.items.push_back(
            {n, "K" + std::to_string(n), "x", std::nullopt, "x", n % 2 == 0, ""});
    }
    store.Add(record);
    EXPECT_EQ(store.Get(record.id), record);
    EXPECT_FALSE(store.Get(Numbered(2).id).has_value());
    EXPECT_FALSE(store.Get("not an id").has_value());
}

TEST_F(PostgresRecordStoreTest, DeviceBytesGoInExactlyWithReadableTextBeside) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    DeviceRecord record = Numbered(1);
    record.imei = std::string("86\x00\xFF\x80", 5);  // a line's noise, a NUL in it
    store.Add(record);
    EXPECT_EQ(store.Get(record.id), record);
    EXPECT_EQ(Scalar("SELECT encode(imei, 'hex') FROM device_records"), "383600ff80");
    EXPECT_EQ(Scalar("SELECT encode(name, 'hex') FROM record_items WHERE seq = 2"), "b2cecafd");
    EXPECT_EQ(Scalar("SELECT name_text || before_text || wanted_text FROM record_items "
                     "WHERE seq = 2"),
              "参数值值1");
    EXPECT_EQ(Scalar("SELECT count(*) FROM record_items WHERE after_text IS NULL"), "2");
    EXPECT_EQ(Scalar("SELECT count(*) FROM record_items WHERE number IS NULL"), "1");

    RecordQuery byImei;
    byImei.imei = record.imei;
    EXPECT_EQ(Ids(store.Find(byImei)), std::vector<std::string>{record.id});
}

TEST_F(PostgresRecordStoreTest, TheSchemaIsMigratedOnceByStoresOpenedTogether) {
    std::vector<std::thread> stations;
    std::atomic<int> failures{0};
    for (int i = 0; i < 8; ++i) {
        stations.emplace_back([&] {
            try {
                PostgresRecordStore store(Uri(), kConnectTimeout);
            } catch (const StoreError&) {
                ++failures;
            }
        });
    }
    for (std::thread& station : stations) {
        station.join();
    }
    EXPECT_EQ(failures, 0);
    PostgresRecordStore again(Uri(), kConnectTimeout);
    const std::string known = std::to_string(records::server::KnownVersion());
    EXPECT_EQ(Scalar("SELECT count(*) || ' ' || max(version) FROM schema_migrations"),
              known + " " + known);
}

// The tables made from their description are those the first schema's
// statements made and the later versions' migrations brought on, column for
// column and constraint for constraint: servers set up before keep working
// with stations set up after, and the MES sees no change.
TEST_F(PostgresRecordStoreTest, TheTablesAreThoseTheFirstSchemasStatementsMade) {
    Scalar(R"(CREATE SCHEMA first; SET search_path TO first;
        CREATE TABLE schema_migrations (version integer PRIMARY KEY, applied_at timestamptz);
        INSERT INTO schema_migrations VALUES (1, now());
        CREATE TABLE device_records (id uuid PRIMARY KEY, started_at timestamptz NOT NULL,
            finished_at timestamptz NOT NULL, station text NOT NULL, operator text NOT NULL,
            port text NOT NULL, command text NOT NULL, imei bytea, imei_text text,
            version bytea, version_text text,
            result text NOT NULL CHECK (result IN ('ok', 'failed', 'interrupted')),
            message text, message_id text, profile_name text, profile_sha256 text,
            firmware_name text, firmware_sha256 text, firmware_bytes bigint,
            tool_version text, code_page text);
        CREATE INDEX device_records_imei_started ON device_records (imei, started_at DESC);
        CREATE INDEX device_records_started ON device_records (started_at DESC);
        CREATE TABLE record_items (record_id uuid NOT NULL REFERENCES device_records (id),
            seq integer NOT NULL, number integer, name bytea, before bytea, wanted bytea,
            after bytea, written boolean NOT NULL, name_text text, before_text text,
            wanted_text text, after_text text, PRIMARY KEY (record_id, seq)))");
    { PostgresRecordStore migrated(Uri() + "&options=-csearch_path%3Dfirst", kConnectTimeout); }
    { PostgresRecordStore made(Uri(), kConnectTimeout); }
    const auto described = [&](const std::string& schema) {
        return Scalar(
                   "SELECT string_agg(table_name || '.' || column_name || ' ' || data_type || ' ' "
                   "|| is_nullable, ', ' ORDER BY table_name, ordinal_position) FROM "
                   "information_schema.columns WHERE table_schema = '" +
                   schema + "' AND table_name <> 'schema_migrations'") +
               "; " +
               Scalar(
                   "SELECT string_agg(t.relname || ' ' || replace(pg_get_constraintdef(c.oid), '" +
                   schema +
                   ".', ''), ', ' ORDER BY t.relname, c.contype) FROM pg_constraint c JOIN "
                   "pg_class t ON "
                   "t.oid = c.conrelid JOIN pg_namespace n ON n.oid = t.relnamespace WHERE "
                   "n.nspname = '" +
                   schema + "' AND t.relname <> 'schema_migrations'") +
               "; " +
               Scalar("SELECT string_agg(indexname || replace(indexdef, '" + schema +
                      ".', ''), ', ' ORDER BY indexname) FROM pg_indexes WHERE schemaname = '" +
                      schema + "' AND tablename <> 'schema_migrations'");
    };
    EXPECT_EQ(described("public"), described("first"));
}

TEST_F(PostgresRecordStoreTest, ALaterSchemaIsRefused) {
    { PostgresRecordStore store(Uri(), kConnectTimeout); }
    Scalar("INSERT INTO schema_migrations VALUES (99, now()) RETURNING version");
    try {
        PostgresRecordStore store(Uri(), kConnectTimeout);
        FAIL() << "a schema from a later version was taken";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Newer);
    }
}

TEST_F(PostgresRecordStoreTest, AServerNotThereIsAnOpenError) {
    testsupport::TempDir nowhere;
    try {
        PostgresRecordStore store("postgresql://tirvel@/postgres?host=" + nowhere.Path().string(),
                                  kConnectTimeout);
        FAIL() << "a server that is not there was reached";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Open);
    }
}

TEST_F(PostgresRecordStoreTest, TheStoreConnectsAgainAfterTheServerCameBack) {
    PostgresRecordStore store(Uri(), kConnectTimeout);
    const DeviceRecord before = Numbered(1);
    store.Add(before);
    Server().Kill();
    Server().Start();
    // The connection it had is gone: one call says so, the next one connects.
    try {
        store.Add(Numbered(2));
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Open) << error.what();
    }
    const DeviceRecord after = Numbered(3);
    store.Add(after);
    EXPECT_EQ(store.Get(before.id), before);
    EXPECT_EQ(store.Get(after.id), after);
}

}  // namespace
