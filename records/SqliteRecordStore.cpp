#include "records/SqliteRecordStore.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "cfgfile/NativePath.h"
#include "records/ItemText.h"

namespace records {
namespace {

// "TIRV": tells this program's files from any other SQLite database, which
// a mistyped path must never be written into.
constexpr int kApplicationId = 0x54495256;

// Each entry brings the schema from the version before it to its own.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE device_records (
    id TEXT PRIMARY KEY NOT NULL,
    started_at TEXT NOT NULL,
    finished_at TEXT NOT NULL,
    station TEXT NOT NULL,
    operator TEXT NOT NULL,
    port TEXT NOT NULL,
    command TEXT NOT NULL,
    imei BLOB,
    imei_text TEXT,
    version BLOB,
    version_text TEXT,
    result TEXT NOT NULL CHECK (result IN ('ok', 'failed', 'interrupted')),
    message TEXT,
    message_id TEXT,
    profile_name TEXT,
    profile_sha256 TEXT,
    firmware_name TEXT,
    firmware_sha256 TEXT,
    firmware_bytes INTEGER,
    tool_version TEXT,
    code_page TEXT
);
CREATE INDEX device_records_by_imei ON device_records (imei, started_at DESC);
CREATE INDEX device_records_by_start ON device_records (started_at DESC);
CREATE TABLE record_items (
    record_id TEXT NOT NULL REFERENCES device_records (id),
    seq INTEGER NOT NULL,
    number INTEGER,
    name BLOB,
    "before" BLOB,
    wanted BLOB,
    "after" BLOB,
    written INTEGER NOT NULL,
    name_text TEXT,
    before_text TEXT,
    wanted_text TEXT,
    after_text TEXT,
    PRIMARY KEY (record_id, seq)
) WITHOUT ROWID;
CREATE TABLE outbox (
    record_id TEXT PRIMARY KEY NOT NULL REFERENCES device_records (id)
) WITHOUT ROWID;
)sql",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

StoreError::Kind KindOf(sqlite3* db, int code) {
    switch (code & 0xFF) {
        case SQLITE_FULL:
            return StoreError::Kind::Full;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return StoreError::Kind::Corrupt;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_READONLY:
            return StoreError::Kind::Open;
        case SQLITE_IOERR:
            // A disk that fills mid-write often shows as an I/O error.
            return db != nullptr && sqlite3_system_errno(db) == ENOSPC ? StoreError::Kind::Full
                                                                       : StoreError::Kind::Other;
        default:
            return StoreError::Kind::Other;
    }
}

[[noreturn]] void Fail(sqlite3* db, int code) {
    throw StoreError(KindOf(db, code), db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (const int rc = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); rc != SQLITE_OK) {
            Fail(db, rc);
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Text(int index, const std::string& text) {
        Check(text.empty() ? sqlite3_bind_null(statement_, index)
                           : sqlite3_bind_text(statement_, index, text.data(),
                                               static_cast<int>(text.size()), SQLITE_TRANSIENT));
    }
    // An empty text is kept as empty, not as unknown.
    void RequiredText(int index, const std::string& text) {
        Check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
    }
    void Blob(int index, const std::optional<std::string>& bytes) {
        Check(!bytes ? sqlite3_bind_null(statement_, index)
                     : sqlite3_bind_blob(statement_, index, bytes->data(),
                                         static_cast<int>(bytes->size()), SQLITE_TRANSIENT));
    }
    void Int(int index, std::optional<std::int64_t> value) {
        Check(value ? sqlite3_bind_int64(statement_, index, *value)
                    : sqlite3_bind_null(statement_, index));
    }

    // True while there is a row.
    bool Step() {
        const int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc != SQLITE_DONE) {
            Fail(db_, rc);
        }
        return false;
    }
    void Run() {
        while (Step()) {
        }
    }
    void Reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

    bool IsNull(int column) { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string Bytes(int column) {
        const void* data = sqlite3_column_blob(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return data != nullptr
                   ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                   : std::string();
    }
    std::optional<std::string> OptionalBytes(int column) {
        return IsNull(column) ? std::nullopt : std::optional<std::string>(Bytes(column));
    }
    std::int64_t Int(int column) { return sqlite3_column_int64(statement_, column); }

private:
    void Check(int rc) {
        if (rc != SQLITE_OK) {
            Fail(db_, rc);
        }
    }

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

void Execute(sqlite3* db, const char* sql) {
    if (const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
        Fail(db, rc);
    }
}

int PragmaInt(sqlite3* db, const char* sql) {
    Statement statement(db, sql);
    return statement.Step() ? static_cast<int>(statement.Int(0)) : 0;
}

// Commits at Commit(), rolls back otherwise: a record is all there or not at all.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {
        // IMMEDIATE: the write lock is taken at once, so two workers never
        // both read and then both wait to write.
        Execute(db_, "BEGIN IMMEDIATE");
    }
    ~Transaction() {
        if (!committed_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        Execute(db_, "COMMIT");
        committed_ = true;
    }

private:
    sqlite3* db_;
    bool committed_ = false;
};

void Migrate(sqlite3* db) {
    // One read transaction for the three reads: otherwise another process's
    // first migration can commit between them, and its tables without its
    // mark look like another program's file.
    Execute(db, "BEGIN");
    int applicationId = 0;
    int version = 0;
    int objects = 0;
    try {
        applicationId = PragmaInt(db, "PRAGMA application_id");
        version = PragmaInt(db, "PRAGMA user_version");
        objects = PragmaInt(db, "SELECT count(*) FROM sqlite_master");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    Execute(db, "COMMIT");
    if (applicationId != kApplicationId && (applicationId != 0 || objects != 0)) {
        throw StoreError(StoreError::Kind::Corrupt, "not a records database");
    }
    if (version > kSchemaVersion) {
        throw StoreError(StoreError::Kind::Newer, "schema version " + std::to_string(version));
    }
    if (version == kSchemaVersion) {
        return;
    }
    Transaction transaction(db);
    // Another process may have migrated while this one waited for the lock.
    int now = PragmaInt(db, "PRAGMA user_version");
    for (; now < kSchemaVersion; ++now) {
        Execute(db, kMigrations[now]);
    }
    Execute(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    Execute(db, ("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    transaction.Commit();
}

// The mode stays with the file once set; setting it takes the file for a
// moment, and the busy handler does not wait for that: a station's workers
// opening a new file at once take turns here.
void UseWriteAheadLog(sqlite3* db) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    for (;;) {
        const int rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            return;
        }
        if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() > deadline) {
            Fail(db, rc);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

constexpr const char* kRecordColumns =
    "id, started_at, finished_at, station, operator, port, command, imei, version, result, "
    "message, message_id, profile_name, profile_sha256, firmware_name, firmware_sha256, "
    "firmware_bytes, tool_version, code_page";

DeviceRecord ReadRecord(Statement& row) {
    DeviceRecord record;
    record.id = row.Bytes(0);
    record.startedAt = row.Bytes(1);
    record.finishedAt = row.Bytes(2);
    record.station = row.Bytes(3);
    record.operatorName = row.Bytes(4);
    record.port = row.Bytes(5);
    record.command = row.Bytes(6);
    record.imei = row.Bytes(7);
    record.version = row.Bytes(8);
    record.result = ParseResult(row.Bytes(9)).value_or(Result::Failed);
    record.message = row.Bytes(10);
    record.messageId = row.Bytes(11);
    record.profileName = row.Bytes(12);
    record.profileSha256 = row.Bytes(13);
    record.firmwareName = row.Bytes(14);
    record.firmwareSha256 = row.Bytes(15);
    record.firmwareBytes = row.IsNull(16) ? std::nullopt : std::optional<std::int64_t>(row.Int(16));
    record.toolVersion = row.Bytes(17);
    record.codePage = row.Bytes(18);
    return record;
}

std::optional<std::string> Present(const std::string& bytes) {
    return bytes.empty() ? std::nullopt : std::optional<std::string>(bytes);
}

void ReadItems(sqlite3* db, DeviceRecord& record) {
    Statement items(db,
                    "SELECT number, name, \"before\", wanted, \"after\", written FROM record_items "
                    "WHERE record_id = ?1 ORDER BY seq");
    items.RequiredText(1, record.id);
    while (items.Step()) {
        RecordItem item;
        item.number = static_cast<int>(items.Int(0));
        item.name = items.Bytes(1);
        item.before = items.OptionalBytes(2);
        item.wanted = items.OptionalBytes(3);
        item.after = items.OptionalBytes(4);
        item.written = items.Int(5) != 0;
        record.items.push_back(std::move(item));
    }
}

}  // namespace

SqliteRecordStore::SqliteRecordStore(const std::string& path, Queue queue)
    : path_(path), queue_(queue) {
    const std::filesystem::path native = cfgfile::NativePath(path);
    // Only a file: SQLite would wait for ever on a FIFO, and a device is no
    // place for records.
    std::error_code kind;
    if (std::filesystem::exists(native, kind) && !std::filesystem::is_regular_file(native, kind)) {
        throw StoreError(StoreError::Kind::Open, "not a regular file");
    }
    if (native.has_parent_path()) {
        std::error_code ignored;
        std::filesystem::create_directories(native.parent_path(), ignored);
    }
    const int rc = sqlite3_open_v2(
        path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
        nullptr);
    try {
        if (rc != SQLITE_OK) {
            Fail(db_, rc);
        }
        // A station's workers write the one file at once; each waits its turn.
        sqlite3_busy_timeout(db_, 15000);
        sqlite3_extended_result_codes(db_, 1);
        Migrate(db_);
        UseWriteAheadLog(db_);
        // FULL: a record reported stored survives a power cut, not only a crash.
        Execute(db_, "PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

SqliteRecordStore::~SqliteRecordStore() {
    sqlite3_close(db_);
}

void SqliteRecordStore::Add(const DeviceRecord& record) {
    Transaction transaction(db_);
    Statement insert(
        db_,
        "INSERT INTO device_records (id, started_at, finished_at, station, operator, port, "
        "command, imei, imei_text, version, version_text, result, message, message_id, "
        "profile_name, profile_sha256, firmware_name, firmware_sha256, firmware_bytes, "
        "tool_version, code_page) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
        "?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21) ON CONFLICT (id) DO NOTHING");
    const ItemText text(record.codePage);
    insert.RequiredText(1, record.id);
    insert.RequiredText(2, record.startedAt);
    insert.RequiredText(3, record.finishedAt);
    insert.RequiredText(4, record.station);
    insert.RequiredText(5, record.operatorName);
    insert.RequiredText(6, record.port);
    insert.RequiredText(7, record.command);
    insert.Blob(8, Present(record.imei));
    insert.Text(9, text.Decode(record.imei));
    insert.Blob(10, Present(record.version));
    insert.Text(11, text.Decode(record.version));
    insert.RequiredText(12, ResultName(record.result));
    insert.Text(13, record.message);
    insert.Text(14, record.messageId);
    insert.Text(15, record.profileName);
    insert.Text(16, record.profileSha256);
    insert.Text(17, record.firmwareName);
    insert.Text(18, record.firmwareSha256);
    insert.Int(19, record.firmwareBytes);
    insert.Text(20, record.toolVersion);
    insert.Text(21, record.codePage);
    insert.Run();
    if (sqlite3_changes(db_) == 0) {
        return;  // there already; the transaction ends unchanged
    }
    Statement item(db_,
                   "INSERT INTO record_items (record_id, seq, number, name, \"before\", wanted, "
                   "\"after\", written, name_text, before_text, wanted_text, after_text) VALUES "
                   "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    int seq = 0;
    for (const RecordItem& it : record.items) {
        item.Reset();
        item.RequiredText(1, record.id);
        item.Int(2, ++seq);
        item.Int(3, it.number != 0 ? std::optional<std::int64_t>(it.number) : std::nullopt);
        item.Blob(4, it.name);
        item.Blob(5, it.before);
        item.Blob(6, it.wanted);
        item.Blob(7, it.after);
        item.Int(8, it.written ? 1 : 0);
        item.Text(9, text.Decode(it.name));
        item.Text(10, text.Decode(it.before));
        item.Text(11, text.Decode(it.wanted));
        item.Text(12, text.Decode(it.after));
        item.Run();
    }
    if (queue_ == Queue::ForServer) {
        Statement queued(db_, "INSERT INTO outbox (record_id) VALUES (?1)");
        queued.RequiredText(1, record.id);
        queued.Run();
    }
    transaction.Commit();
}

void SqliteRecordStore::ForEach(const RecordQuery& query,
                                const std::function<void(const DeviceRecord&)>& visit) {
    std::string sql = std::string("SELECT ") + kRecordColumns + " FROM device_records WHERE 1";
    // Each filter binds its own numbered parameter; unused ones stay NULL.
    if (!query.imei.empty()) {
        sql += " AND imei = ?1";
    }
    if (!query.since.empty()) {
        sql += " AND started_at >= ?2";
    }
    if (!query.until.empty()) {
        sql += " AND started_at < ?3";
    }
    if (query.result) {
        sql += " AND result = ?4";
    }
    if (!query.station.empty()) {
        sql += " AND station = ?5";
    }
    sql += " ORDER BY started_at DESC, id LIMIT ?6";
    Statement select(db_, sql.c_str());
    if (!query.imei.empty()) {
        select.Blob(1, query.imei);
    }
    if (!query.since.empty()) {
        select.RequiredText(2, query.since);
    }
    if (!query.until.empty()) {
        select.RequiredText(3, query.until);
    }
    if (query.result) {
        select.RequiredText(4, ResultName(*query.result));
    }
    if (!query.station.empty()) {
        select.RequiredText(5, query.station);
    }
    select.Int(6, query.limit > 0 ? query.limit : -1);
    // Row by row from the statement: SQLite reads the pages as it steps.
    while (select.Step()) {
        visit(ReadRecord(select));
    }
}

std::optional<DeviceRecord> SqliteRecordStore::Get(const std::string& id) {
    Statement select(
        db_,
        (std::string("SELECT ") + kRecordColumns + " FROM device_records WHERE id = ?1").c_str());
    select.RequiredText(1, id);
    if (!select.Step()) {
        return std::nullopt;
    }
    DeviceRecord record = ReadRecord(select);
    ReadItems(db_, record);
    return record;
}

std::vector<DeviceRecord> SqliteRecordStore::Queued(int limit) {
    Statement select(db_, (std::string("SELECT ") + kRecordColumns +
                           " FROM device_records WHERE id IN (SELECT record_id FROM outbox) "
                           "ORDER BY started_at, id LIMIT ?1")
                              .c_str());
    select.Int(1, limit > 0 ? limit : -1);
    std::vector<DeviceRecord> queued;
    while (select.Step()) {
        queued.push_back(ReadRecord(select));
    }
    for (DeviceRecord& record : queued) {
        ReadItems(db_, record);
    }
    return queued;
}

int SqliteRecordStore::QueuedCount() {
    return PragmaInt(db_, "SELECT count(*) FROM outbox");
}

void SqliteRecordStore::Sent(const std::vector<std::string>& ids) {
    Transaction transaction(db_);
    Statement remove(db_, "DELETE FROM outbox WHERE record_id = ?1");
    for (const std::string& id : ids) {
        remove.Reset();
        remove.RequiredText(1, id);
        remove.Run();
    }
    transaction.Commit();
}

}  // namespace records
