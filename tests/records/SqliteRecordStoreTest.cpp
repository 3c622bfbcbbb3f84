// The station's own records file: what goes in comes back byte for byte,
// once; what is not ours is refused and left as it was.
#include <gtest/gtest.h>

#include <sqlite3.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "SampleRecord.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "records/SqliteRecordStore.h"

namespace {

using records::DeviceRecord;
using records::RecordQuery;
using records::Result;
using records::SqliteRecordStore;
using records::StoreError;
using testsupport::Listed;
using testsupport::SampleRecord;

class SqliteRecordStoreTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return (dir_.Path() / name).string(); }

    testsupport::TempDir dir_;
};

TEST_F(SqliteRecordStoreTest, KeepsEveryFieldAndItemByteForByte) {
    const std::string path = PathOf("sub/folder/records.db");
    DeviceRecord record = SampleRecord("860000000000001", "2026-12-09T10:00:00.000Z");
    record.imei = "86\xFF\x80garbled";  // a line's noise is kept as it came
    record.firmwareBytes.reset();
    {
        SqliteRecordStore store(path);
        store.Add(record);
    }
    SqliteRecordStore reopened(path);
    EXPECT_EQ(reopened.Get(record.id), record);
    EXPECT_EQ(reopened.Find({}), std::vector<DeviceRecord>{Listed(record)});
    EXPECT_EQ(reopened.Get("no-such-id"), std::nullopt);
}

TEST_F(SqliteRecordStoreTest, KeepsReadableTextDecodedByTheRecordsCodePage) {
    const std::string path = PathOf("records.db");
    const DeviceRecord record = SampleRecord("860000000000001", "2026-12-09T10:00:00.000Z");
    SqliteRecordStore(path).Add(record);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* select = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT name_text, before_text, wanted_text, after_text FROM "
                                 "record_items WHERE number = 7",
                                 -1, &select, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(select), SQLITE_ROW);
    const auto text = [&](int column) {
        const unsigned char* value = sqlite3_column_text(select, column);
        return value != nullptr ? std::string(reinterpret_cast<const char*>(value)) : "NULL";
    };
    EXPECT_EQ(text(0), "参数");
    EXPECT_EQ(text(1), "值");
    EXPECT_EQ(text(2), "值1");
    EXPECT_EQ(text(3), "NULL");
    sqlite3_finalize(select);
    sqlite3_close(db);
}

TEST_F(SqliteRecordStoreTest, AddingARecordTwiceKeepsItOnce) {
    SqliteRecordStore store(PathOf("records.db"));
    const DeviceRecord record = SampleRecord("860000000000001", "2026-12-09T10:00:00.000Z");
    store.Add(record);
    DeviceRecord changed = record;
    changed.result = Result::Failed;
    store.Add(changed);
    EXPECT_EQ(store.Find({}), std::vector<DeviceRecord>{Listed(record)});
    EXPECT_EQ(store.Get(record.id)->items.size(), record.items.size());
}

TEST_F(SqliteRecordStoreTest, FindsByEachFilterNewestFirst) {
    SqliteRecordStore store(PathOf("records.db"));
    const DeviceRecord a = SampleRecord("860000000000001", "2026-12-01T08:00:00.000Z");
    const DeviceRecord b =
        SampleRecord("860000000000002", "2026-12-02T08:00:00.000Z", Result::Failed);
    const DeviceRecord c = SampleRecord("860000000000001", "2026-12-03T08:00:00.000Z",
                                        Result::Interrupted, "line1-st4");
    for (const DeviceRecord& r : {b, c, a}) {
        store.Add(r);
    }
    const auto ids = [&](const RecordQuery& query) {
        std::vector<std::string> found;
        for (const DeviceRecord& r : store.Find(query)) {
            found.push_back(r.id);
        }
        return found;
    };
    using Ids = std::vector<std::string>;
    // Designated initialisers would be shorter, but warn for the fields left out.
    const auto by = [](auto field, auto value) {
        RecordQuery query;
        query.*field = value;
        return query;
    };
    EXPECT_EQ(ids({}), (Ids{c.id, b.id, a.id}));
    EXPECT_EQ(ids(by(&RecordQuery::imei, "860000000000001")), (Ids{c.id, a.id}));
    EXPECT_EQ(ids(by(&RecordQuery::imei, "86000000000000")), Ids{});
    EXPECT_EQ(ids(by(&RecordQuery::since, "2026-12-02T08:00:00.000Z")), (Ids{c.id, b.id}));
    EXPECT_EQ(ids(by(&RecordQuery::until, "2026-12-02T08:00:00.000Z")), (Ids{a.id}));
    EXPECT_EQ(ids(by(&RecordQuery::result, Result::Failed)), (Ids{b.id}));
    EXPECT_EQ(ids(by(&RecordQuery::station, "line1-st4")), (Ids{c.id}));
    RecordQuery both = by(&RecordQuery::imei, "860000000000001");
    both.station = "line1-st3";
    EXPECT_EQ(ids(both), (Ids{a.id}));
    EXPECT_EQ(ids(by(&RecordQuery::limit, 2)), (Ids{c.id, b.id}));
}

TEST_F(SqliteRecordStoreTest, QueuesForTheServerUntilSent) {
    SqliteRecordStore store(PathOf("records.db"), SqliteRecordStore::Queue::ForServer);
    const DeviceRecord late = SampleRecord("860000000000002", "2026-12-02T08:00:00.000Z");
    const DeviceRecord early = SampleRecord("860000000000001", "2026-12-01T08:00:00.000Z");
    store.Add(late);
    store.Add(early);
    store.Add(early);
    EXPECT_EQ(store.QueuedCount(), 2);
    EXPECT_EQ(store.Queued(0), (std::vector<DeviceRecord>{early, late}));
    EXPECT_EQ(store.Queued(1), std::vector<DeviceRecord>{early});
    store.Sent({early.id});
    EXPECT_EQ(store.Queued(0), std::vector<DeviceRecord>{late});
    // Off the queue is not out of the file.
    EXPECT_EQ(store.Find({}).size(), 2U);
}

TEST_F(SqliteRecordStoreTest, KeepsNothingQueuedWithoutAServer) {
    SqliteRecordStore store(PathOf("records.db"));
    store.Add(SampleRecord("860000000000001", "2026-12-01T08:00:00.000Z"));
    EXPECT_EQ(store.QueuedCount(), 0);
}

TEST_F(SqliteRecordStoreTest, StoresOpenOnOneFileAtOnceEachAddingAll) {
    const std::string path = PathOf("records.db");
    constexpr int kEach = 100;
    std::atomic<int> failures{0};
    const auto worker = [&](int station) {
        try {
            SqliteRecordStore store(path);
            for (int i = 0; i < kEach; ++i) {
                store.Add(SampleRecord(std::to_string(860000000000000 + i),
                                       "2026-12-01T08:00:00.000Z", Result::Ok,
                                       "st" + std::to_string(station)));
            }
        } catch (const StoreError& e) {
            ++failures;
            ADD_FAILURE() << "station " << station << ": " << e.what();
        }
    };
    std::vector<std::thread> stations;
    for (int s = 0; s < 4; ++s) {
        stations.emplace_back(worker, s);
    }
    for (std::thread& t : stations) {
        t.join();
    }
    ASSERT_EQ(failures, 0);
    SqliteRecordStore store(path);
    EXPECT_EQ(store.Find({}).size(), 4U * kEach);
    EXPECT_EQ(store
                  .Find([] {
                      RecordQuery query;
                      query.station = "st2";
                      return query;
                  }())
                  .size(),
              static_cast<std::size_t>(kEach));
}

struct ForeignFile {
    const char* name;
    std::string bytes;  // empty: another program's SQLite database
    StoreError::Kind kind;
};

class ForeignFileTest : public SqliteRecordStoreTest,
                        public ::testing::WithParamInterface<ForeignFile> {};

TEST_P(ForeignFileTest, IsRefusedAndLeftAsItWas) {
    const std::string path = PathOf("records.db");
    if (GetParam().bytes.empty()) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(
            sqlite3_exec(db, "CREATE TABLE invoices (n INTEGER); INSERT INTO invoices VALUES (1)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
    } else {
        testsupport::WriteFile(path, GetParam().bytes);
    }
    const std::string before = testsupport::ReadFile(path);
    try {
        SqliteRecordStore store(path);
        FAIL() << "opened";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.kind(), GetParam().kind) << e.what();
    }
    EXPECT_EQ(testsupport::ReadFile(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ForeignFileTest,
    ::testing::Values(ForeignFile{"AnotherProgramsDatabase", "", StoreError::Kind::Corrupt},
                      ForeignFile{"Garbage", std::string(8192, '\x5A'), StoreError::Kind::Corrupt},
                      ForeignFile{"TruncatedHeader", "SQLite format 3", StoreError::Kind::Corrupt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SqliteRecordStoreTest, RefusesAFileOfALaterSchema) {
    const std::string path = PathOf("records.db");
    { SqliteRecordStore store(path); }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    try {
        SqliteRecordStore store(path);
        FAIL() << "opened";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.kind(), StoreError::Kind::Newer);
    }
}

// A file as the first schema's statements made it, written before the tables
// were made from one description: it opens, migrated to the latest version,
// reads as it was written and takes new records with every later column.
TEST_F(SqliteRecordStoreTest, AFileOfTheFirstSchemaReadsAsWritten) {
    const std::string path = PathOf("records.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, R"sql(
CREATE TABLE device_records (
    id TEXT PRIMARY KEY NOT NULL, started_at TEXT NOT NULL, finished_at TEXT NOT NULL,
    station TEXT NOT NULL, operator TEXT NOT NULL, port TEXT NOT NULL, command TEXT NOT NULL,
    imei BLOB, imei_text TEXT, version BLOB, version_text TEXT,
    result TEXT NOT NULL CHECK (result IN ('ok', 'failed', 'interrupted')),
    message TEXT, message_id TEXT, profile_name TEXT, profile_sha256 TEXT, firmware_name TEXT,
    firmware_sha256 TEXT, firmware_bytes INTEGER, tool_version TEXT, code_page TEXT);
CREATE INDEX device_records_by_imei ON device_records (imei, started_at DESC);
CREATE INDEX device_records_by_start ON device_records (started_at DESC);
CREATE TABLE record_items (
    record_id TEXT NOT NULL REFERENCES device_records (id), seq INTEGER NOT NULL,
    number INTEGER, name BLOB, "before" BLOB, wanted BLOB, "after" BLOB,
    written INTEGER NOT NULL, name_text TEXT, before_text TEXT, wanted_text TEXT,
    after_text TEXT, PRIMARY KEY (record_id, seq)) WITHOUT ROWID;
CREATE TABLE outbox (
    record_id TEXT PRIMARY KEY NOT NULL REFERENCES device_records (id)) WITHOUT ROWID;
INSERT INTO device_records VALUES ('3ef052cf-4523-49bb-8af8-a39d69d30fcb',
    '2026-12-01T08:00:00.000Z', '2026-12-01T08:01:00.000Z', 'st1', 'wang', 'COM3', 'batch',
    X'383630FF', '860?', NULL, NULL, 'interrupted', 'Stopped', 'IDS_STOPPED', 'p.cfg',
    'ab12', NULL, NULL, 4096, '1.4.0', 'GB18030');
INSERT INTO record_items VALUES ('3ef052cf-4523-49bb-8af8-a39d69d30fcb', 1, NULL, X'41',
    X'', NULL, X'C4E3', 0, 'A', '', NULL, '你');
INSERT INTO record_items VALUES ('3ef052cf-4523-49bb-8af8-a39d69d30fcb', 2, 7, X'42', NULL,
    X'31', X'31', 1, 'B', NULL, '1', '1');
INSERT INTO outbox VALUES ('3ef052cf-4523-49bb-8af8-a39d69d30fcb');
PRAGMA user_version = 1;
PRAGMA application_id = 1414091350;
)sql",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    DeviceRecord written;
    written.id = "3ef052cf-4523-49bb-8af8-a39d69d30fcb";
    written.startedAt = "2026-12-01T08:00:00.000Z";
    written.finishedAt = "2026-12-01T08:01:00.000Z";
    written.station = "st1";
    written.operatorName = "wang";
    written.port = "COM3";
    written.command = "batch";
    written.imei = "860\xFF";
    written.result = Result::Interrupted;
    written.message = "Stopped";
    written.messageId = "IDS_STOPPED";
    written.profileName = "p.cfg";
    written.profileSha256 = "ab12";
    written.firmwareBytes = 4096;
    written.toolVersion = "1.4.0";
    written.codePage = "GB18030";
    written.items = {{0, "A", std::string(), std::nullopt, "\xC4\xE3", false, ""},
                     {7, "B", std::nullopt, "1", "1", true, ""}};

    SqliteRecordStore store(path, SqliteRecordStore::Queue::ForServer);
    EXPECT_EQ(store.Get(written.id), written);
    EXPECT_EQ(store.Queued(0), std::vector<DeviceRecord>{written});
    const DeviceRecord added = SampleRecord("860000000000001", "2026-12-02T08:00:00.000Z");
    store.Add(added);
    EXPECT_EQ(store.Get(added.id), added);
    EXPECT_EQ(store.Find({}), (std::vector<DeviceRecord>{Listed(added), Listed(written)}));

    // And a file made now has that file's tables: columns, keys, indexes.
    { SqliteRecordStore made(PathOf("new.db")); }
    const auto tables = [](const std::string& file) {
        sqlite3* tablesDb = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &tablesDb), SQLITE_OK);
        sqlite3_stmt* select = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(tablesDb, R"sql(
SELECT group_concat(d, '; ') FROM (
  SELECT m.name || (m.sql LIKE '%WITHOUT ROWID') || (instr(m.sql, 'CHECK (') > 0) || ' ' || c.name ||
         ' ' || c.type || c."notnull" || c.pk AS d
    FROM sqlite_master m, pragma_table_info(m.name) c WHERE m.type = 'table'
  UNION ALL SELECT m.name || ' fk ' || f."table" || f."from" || f."to"
    FROM sqlite_master m, pragma_foreign_key_list(m.name) f WHERE m.type = 'table'
  UNION ALL SELECT i.tbl_name || ' index ' || i.name || ' ' || x.seqno || x.name || x."desc"
    FROM sqlite_master i, pragma_index_xinfo(i.name) x WHERE i.type = 'index' AND x.key
  ORDER BY 1))sql",
                                     -1, &select, nullptr),
                  SQLITE_OK);
        EXPECT_EQ(sqlite3_step(select), SQLITE_ROW);
        const std::string described = reinterpret_cast<const char*>(sqlite3_column_text(select, 0));
        sqlite3_finalize(select);
        sqlite3_close(tablesDb);
        return described;
    };
    EXPECT_EQ(tables(PathOf("new.db")), tables(path));
}

#ifndef _WIN32
// A FIFO would hold the open for ever; a device takes nothing back.
TEST_F(SqliteRecordStoreTest, RefusesWhatIsNotAFile) {
    const std::string fifo = PathOf("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null"), PathOf("")}) {
        try {
            SqliteRecordStore store(path);
            ADD_FAILURE() << path << " opened";
        } catch (const StoreError& e) {
            EXPECT_EQ(e.kind(), StoreError::Kind::Open) << path;
        }
    }
}
#endif

TEST_F(SqliteRecordStoreTest, SaysWhenTheFolderCannotBeMade) {
    testsupport::WriteFile(PathOf("file"), "x");
    try {
        SqliteRecordStore store(PathOf("file/records.db"));
        FAIL() << "opened";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.kind(), StoreError::Kind::Open);
    }
}

}  // namespace
