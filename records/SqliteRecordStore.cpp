#include "records/SqliteRecordStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "cfgfile/NativePath.h"
#include "common/NonCopyable.h"
#include "records/ItemText.h"
#include "records/RecordSchema.h"

namespace records {
namespace {

// "TIRV": tells this program's files from any other SQLite database, which
// a mistyped path must never be written into.
constexpr int kApplicationId = 0x54495256;

// SQLite's words for the tables: it has no uuid, time or boolean of its own.
struct SqliteDdl {
    static constexpr bool kWithoutRowid = true;
    static std::string_view SqlType(schema::Type type) {
        // In the order of schema::Type.
        static constexpr std::string_view kNames[] = {"TEXT",    "TEXT",    "TEXT",   "BLOB",
                                                      "INTEGER", "INTEGER", "INTEGER"};
        return kNames[static_cast<std::size_t>(type)];
    }
    static std::string Select(schema::Type, const std::string& column) { return column; }
};

const schema::StoreSteps kMigrations = {
    {
        "CREATE INDEX device_records_by_imei ON device_records (imei, started_at DESC)",
        "CREATE INDEX device_records_by_start ON device_records (started_at DESC)",
        R"sql(CREATE TABLE outbox (
    record_id TEXT PRIMARY KEY NOT NULL REFERENCES device_records (id)
) WITHOUT ROWID)sql",
    },
};
// The version this program writes.
const int kSchemaVersion = schema::LatestVersion(kMigrations);

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

class Statement : NonCopyable {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (const int rc = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); rc != SQLITE_OK) {
            Fail(db, rc);
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }

    // Each value numbered on from the first. An empty text is kept as
    // empty, not as unknown.
    void Bind(const std::vector<schema::Value>& values) {
        int index = 0;
        for (const schema::Value& value : values) {
            ++index;
            const auto size = static_cast<int>(value.text.size());
            switch (value.kind) {
                case schema::Value::Kind::Null:
                    Check(sqlite3_bind_null(statement_, index));
                    break;
                case schema::Value::Kind::Text:
                    Check(sqlite3_bind_text(statement_, index, value.text.data(), size,
                                            SQLITE_TRANSIENT));
                    break;
                case schema::Value::Kind::Bytes:
                    Check(sqlite3_bind_blob(statement_, index, value.text.data(), size,
                                            SQLITE_TRANSIENT));
                    break;
                case schema::Value::Kind::Integer:
                case schema::Value::Kind::Flag:
                    Check(sqlite3_bind_int64(statement_, index, value.number));
                    break;
            }
        }
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
class Transaction : NonCopyable {
public:
    // IMMEDIATE: the write lock is taken at once, so two workers never both
    // read and then both wait to write.
    explicit Transaction(sqlite3* db, const char* begin = "BEGIN IMMEDIATE") : db_(db) {
        Execute(db_, begin);
    }
    ~Transaction() {
        if (!committed_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
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
    Transaction reads(db, "BEGIN");
    const int applicationId = PragmaInt(db, "PRAGMA application_id");
    const int version = PragmaInt(db, "PRAGMA user_version");
    const int objects = PragmaInt(db, "SELECT count(*) FROM sqlite_master");
    reads.Commit();
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
        for (const std::string& step : schema::Migration<SqliteDdl>(now + 1, kMigrations)) {
            Execute(db, step.c_str());
        }
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

// One column of the row a statement stands on.
class SqliteCell : public schema::Cell {
public:
    SqliteCell(Statement& row, int column) : row_(row), column_(column) {}
    bool IsNull() const override { return row_.IsNull(column_); }
    std::string Text() const override { return row_.Bytes(column_); }
    std::string Bytes() const override { return row_.Bytes(column_); }
    std::int64_t Integer() const override { return row_.Int(column_); }

private:
    Statement& row_;
    int column_;
};

// The row the statement stands on.
template <class Table>
typename Table::TargetType ReadRow(const Table& table, Statement& row) {
    return schema::ReadRow(table, [&row](int column) { return SqliteCell(row, column); });
}

std::string RecordSelect() {
    return schema::Select<SqliteDdl>(schema::Records());
}

// "INSERT INTO table (a, b, …) VALUES (?1, ?2, …)"
template <class Table>
std::string InsertSql(const Table& table) {
    return schema::InsertSql(table, 1,
                             [](int number, schema::Type) { return "?" + std::to_string(number); });
}

void ReadItems(sqlite3* db, DeviceRecord& record) {
    static const std::string sql =
        schema::Select<SqliteDdl>(schema::Items()) + " WHERE record_id = ?1 ORDER BY seq";
    Statement items(db, sql.c_str());
    items.Bind({schema::Required(record.id)});
    while (items.Step()) {
        record.items.push_back(ReadRow(schema::Items(), items));
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
    static const std::string recordSql =
        InsertSql(schema::Records()) + " ON CONFLICT (id) DO NOTHING";
    static const std::string itemSql = InsertSql(schema::Items());
    Statement insert(db_, recordSql.c_str());
    const ItemText text(record.codePage);
    insert.Bind(schema::Bind(schema::Records(), schema::RecordRow{record, text}));
    insert.Run();
    if (sqlite3_changes(db_) == 0) {
        return;  // there already; the transaction ends unchanged
    }
    Statement item(db_, itemSql.c_str());
    int seq = 0;
    for (const RecordItem& it : record.items) {
        item.Reset();
        item.Bind(schema::Bind(schema::Items(), schema::ItemRow{record, text, ++seq, it}));
        item.Run();
    }
    if (queue_ == Queue::ForServer) {
        Statement queued(db_, "INSERT INTO outbox (record_id) VALUES (?1)");
        queued.Bind({schema::Required(record.id)});
        queued.Run();
    }
    transaction.Commit();
}

void SqliteRecordStore::ForEach(const RecordQuery& query,
                                const std::function<void(const DeviceRecord&)>& visit) {
    std::string sql = RecordSelect() + " WHERE 1";
    std::vector<schema::Value> values;
    for (schema::Condition& condition : schema::Conditions(query)) {
        values.push_back(std::move(condition.value));
        sql += " AND " + std::string(condition.test) + " ?" + std::to_string(values.size());
    }
    values.push_back(schema::Integer(query.limit > 0 ? query.limit : -1));
    sql += " ORDER BY started_at DESC, id LIMIT ?" + std::to_string(values.size());
    Statement select(db_, sql.c_str());
    select.Bind(values);
    // Row by row from the statement: SQLite reads the pages as it steps.
    while (select.Step()) {
        visit(ReadRow(schema::Records(), select));
    }
}

std::optional<DeviceRecord> SqliteRecordStore::Get(const std::string& id) {
    Statement select(db_, (RecordSelect() + " WHERE id = ?1").c_str());
    select.Bind({schema::Required(id)});
    if (!select.Step()) {
        return std::nullopt;
    }
    DeviceRecord record = ReadRow(schema::Records(), select);
    ReadItems(db_, record);
    return record;
}

std::vector<DeviceRecord> SqliteRecordStore::Queued(int limit) {
    Statement select(db_, (RecordSelect() + " WHERE id IN (SELECT record_id FROM outbox) "
                                            "ORDER BY started_at, id LIMIT ?1")
                              .c_str());
    select.Bind({schema::Integer(limit > 0 ? limit : -1)});
    std::vector<DeviceRecord> queued;
    while (select.Step()) {
        queued.push_back(ReadRow(schema::Records(), select));
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
        remove.Bind({schema::Required(id)});
        remove.Run();
    }
    transaction.Commit();
}

}  // namespace records
