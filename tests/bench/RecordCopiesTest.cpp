// The stores the records' benches fill: as many records as asked, each device
// with its two, each copy whole (its items too), queued where asked, and the
// same on PostgreSQL.
#include <gtest/gtest.h>

#include <cstdio>

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

}  // namespace
