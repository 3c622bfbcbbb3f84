// The stores the records' benches fill: as many records as asked, each device
// with its two, each copy whole (its items too), queued where asked, and the
// same on PostgreSQL.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "PostgresTest.h"
#include "RecordCopies.h"
#include "TempDir.h"
#include "records/PostgresRecordStore.h"
#include "records/SqliteRecordStore.h"

namespace {

using records::DeviceRecord;
using records::RecordQuery;

const bench::Copies kCopies{10, 5, 7, "bench-station"};

// Every device has its two records, newest first, and the newer is a whole
// copy of the record the store added: items, bytes and all, but for its own
// id, times and IMEI.
void ExpectCopies(records::RecordStore& store) {
    EXPECT_EQ(store.Find(RecordQuery{}).size(), 10u);
    const DeviceRecord first = bench::CopiedTemplate(kCopies);
    for (long device = 0; device < kCopies.devices; ++device) {
        RecordQuery query;
        query.imei = bench::CopiedImei(device, kCopies.devices);
        const auto found = store.Find(query);
        ASSERT_EQ(found.size(), 2u) << query.imei;
        const auto copy = store.Get(found[0].id);
        ASSERT_TRUE(copy);
        EXPECT_NE(copy->id, first.id);
        // Copy n starts n seconds after the first record, 10:00:00.000.
        char start[48];
        std::snprintf(start, sizeof start, "2026-12-09T10:00:%02ld.000Z", device + 5);
        EXPECT_EQ(copy->startedAt, start);
        DeviceRecord expected = first;
        expected.id = copy->id;
        expected.startedAt = expected.finishedAt = copy->startedAt;
        expected.imei = query.imei;
        EXPECT_EQ(*copy, expected);
    }
}

TEST(RecordCopies, ImeisAreFifteenDigitsAndCycleOverTheDevices) {
    EXPECT_EQ(bench::CopiedImei(7, 5), "860000000000002");
    EXPECT_EQ(bench::CopiedImei(2, 5), bench::CopiedImei(7, 5));
}

TEST(RecordCopies, SqliteFileHoldsWholeCopies) {
    testsupport::TempDir dir;
    const std::string path = (dir.Path() / "copies.sqlite").string();
    bench::FillSqlite(path, kCopies, false);
    records::SqliteRecordStore store(path);
    ExpectCopies(store);
    EXPECT_EQ(store.QueuedCount(), 0);
}

TEST(RecordCopies, QueuedCopiesAreAllQueued) {
    testsupport::TempDir dir;
    const std::string path = (dir.Path() / "queued.sqlite").string();
    bench::FillSqlite(path, kCopies, true);
    records::SqliteRecordStore store(path, records::SqliteRecordStore::Queue::ForServer);
    EXPECT_EQ(store.QueuedCount(), 10);
    EXPECT_EQ(store.Queued(0).size(), 10u);
}

class RecordCopiesOnServer : public testsupport::PostgresTest {};

TEST_F(RecordCopiesOnServer, DatabaseHoldsWholeCopies) {
    bench::FillPostgres(Uri(), kCopies);
    records::PostgresRecordStore store(Uri(), std::chrono::seconds(10));
    ExpectCopies(store);
    EXPECT_EQ(Scalar("SELECT count(*) FROM record_items"), "30");
}

// The line's records as the line bench fills them: what its figures of
// pages, yields and failures are taken over.
class LineRecordsOnServer : public testsupport::PostgresTest {
protected:
    void SetUp() override {
        testsupport::PostgresTest::SetUp();
        if (!IsSkipped()) {
            bench::FillLine(Uri(), {400, 20, 35});
        }
    }
};

TEST(LineRecords, CheckDigitIsLuhns) {
    EXPECT_EQ(bench::WithCheckDigit("49015420323751"), "490154203237518");
    EXPECT_EQ(bench::WithCheckDigit("35209900176148"), "352099001761481");
    EXPECT_EQ(bench::WithCheckDigit("00000000000000"), "000000000000000");
}

TEST_F(LineRecordsOnServer, EveryStationHasItsShareAndOneInTwentyFails) {
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records"), "400");
    EXPECT_EQ(Scalar("SELECT count(*) FROM record_items"), "1200");
    EXPECT_EQ(Scalar("SELECT count(DISTINCT station) || ' ' || min(station) || ' ' || "
                     "max(station) FROM device_records"),
              "20 line-st01 line-st20");
    EXPECT_EQ(Scalar("SELECT count(DISTINCT port) FROM device_records"), "8");
    // Each station's 20 records: one failed, 19 ok, nothing else.
    EXPECT_EQ(Scalar("SELECT count(*) FROM (SELECT station FROM device_records GROUP BY station "
                     "HAVING count(*) FILTER (WHERE result = 'failed') = 1 AND "
                     "count(*) FILTER (WHERE result = 'ok') = 19) AS s"),
              "20");
    // A failure has its words; an ID where the message has one.
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records WHERE result = 'failed' AND "
                     "(message = 'OK' OR message IS NULL)"),
              "0");
    // The five messages in turn, 4 failures each; one without an ID.
    EXPECT_EQ(Scalar("SELECT count(*) FROM (SELECT message FROM device_records WHERE result = "
                     "'failed' GROUP BY message HAVING count(*) = 4) AS m"),
              "5");
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records WHERE result = 'failed' AND "
                     "message_id IS NULL"),
              "4");
}

TEST_F(LineRecordsOnServer, SpreadOverTheDaysUpToNow) {
    // The last within a record's spacing (35 days over 400) of now.
    EXPECT_EQ(
        Scalar("SELECT now() - max(started_at) < 2 * interval '35 days' / 400 AND "
               "now() - min(started_at) BETWEEN interval '34 days' AND interval '35 days 1 hour' "
               "FROM device_records"),
        "t");
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records WHERE finished_at <= started_at"), "0");
}

TEST_F(LineRecordsOnServer, FailedDevicesComeBackAtTheirStationAndPass) {
    // Every failure but one is tried again: line-st15's comes at its last
    // record, with no record after it to try the device again.
    EXPECT_EQ(Scalar("SELECT count(DISTINCT imei) FROM device_records"), "381");
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records f JOIN device_records again ON "
                     "again.imei = f.imei AND again.started_at > f.started_at AND "
                     "again.station = f.station AND again.result = 'ok' "
                     "WHERE f.result = 'failed'"),
              "19");
    EXPECT_EQ(Scalar("SELECT count(*) FROM device_records WHERE imei_text <> "
                     "convert_from(imei, 'UTF8')"),
              "0");
    std::stringstream imeis(
        Scalar("SELECT string_agg(DISTINCT imei_text, ' ') FROM device_records"));
    for (std::string imei; imeis >> imei;) {
        ASSERT_EQ(imei.size(), 15u);
        EXPECT_EQ(bench::WithCheckDigit(imei.substr(0, 14)), imei);
    }
}

}  // namespace
