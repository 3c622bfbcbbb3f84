#include "records/SqliteFile.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "cfgfile/NativePath.h"
#include "records/RecordStore.h"

namespace records::sqlite {
namespace {

// "TIRV": tells this program's files from any other SQLite database, which
// a mistyped path must never be written into.
constexpr int kApplicationId = 0x54495256;

const schema::StoreSteps kMigrations = {
    {
        "CREATE INDEX device_records_by_imei ON device_records (imei, started_at DESC)",
        "CREATE INDEX device_records_by_start ON device_records (started_at DESC)",
        R"sql(CREATE TABLE outbox (
    record_id TEXT PRIMARY KEY NOT NULL REFERENCES device_records (id)
) WITHOUT ROWID)sql",
    },
    // 2: the items' source column alone.
    {},
    // 3: the value pools (PoolStore.h), the same tables as on the server.
    {
        R"sql(CREATE TABLE value_pools (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE,
    imported_at TEXT NOT NULL
))sql",
        R"sql(CREATE TABLE value_pool_columns (
    pool_id INTEGER NOT NULL REFERENCES value_pools (id),
    col INTEGER NOT NULL,
    item TEXT NOT NULL,
    PRIMARY KEY (pool_id, col)
) WITHOUT ROWID)sql",
        R"sql(CREATE TABLE value_pool_rows (
    pool_id INTEGER NOT NULL REFERENCES value_pools (id),
    row_no INTEGER NOT NULL,
    line INTEGER NOT NULL,
    state TEXT NOT NULL DEFAULT 'free' CHECK (state IN ('free', 'reserved', 'tied', 'written')),
    imei BLOB,
    station TEXT,
    tied_at TEXT,
    written_at TEXT,
    PRIMARY KEY (pool_id, row_no),
    CHECK ((state IN ('free', 'reserved')) = (imei IS NULL))
) WITHOUT ROWID)sql",
        R"sql(CREATE TABLE value_pool_cells (
    pool_id INTEGER NOT NULL,
    row_no INTEGER NOT NULL,
    col INTEGER NOT NULL,
    value BLOB NOT NULL,
    PRIMARY KEY (pool_id, row_no, col),
    FOREIGN KEY (pool_id, row_no) REFERENCES value_pool_rows (pool_id, row_no)
) WITHOUT ROWID)sql",
        "CREATE INDEX value_pool_rows_free ON value_pool_rows (pool_id, row_no) "
        "WHERE state = 'free'",
        "CREATE UNIQUE INDEX value_pool_rows_imei ON value_pool_rows (imei, pool_id) "
        "WHERE imei IS NOT NULL",
        // Rows the server reserved for this station and tied here while it
        // could not be reached: the ties it has not been told of yet.
        R"sql(CREATE TABLE value_pool_outbox (
    pool_id INTEGER NOT NULL,
    row_no INTEGER NOT NULL,
    PRIMARY KEY (pool_id, row_no),
    FOREIGN KEY (pool_id, row_no) REFERENCES value_pool_rows (pool_id, row_no)
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

void Migrate(sqlite3* db) {
    // One read transaction for the three reads: otherwise another process's
    // first migration can commit between them, and its tables without its
    // mark look like another program's file.
    Transaction reads(db, "BEGIN");
    const auto applicationId = QueryInt(db, "PRAGMA application_id");
    const auto version = QueryInt(db, "PRAGMA user_version");
    const auto objects = QueryInt(db, "SELECT count(*) FROM sqlite_master");
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
    auto now = static_cast<int>(QueryInt(db, "PRAGMA user_version"));
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

}  // namespace

[[noreturn]] void Fail(sqlite3* db, int code) {
    throw StoreError(KindOf(db, code), db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

void Execute(sqlite3* db, const char* sql) {
    if (const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
        Fail(db, rc);
    }
}

Statement::Statement(sqlite3* db, const char* sql) : db_(db) {
    if (const int rc = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); rc != SQLITE_OK) {
        Fail(db, rc);
    }
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

void Statement::Bind(const std::vector<schema::Value>& values) {
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

bool Statement::Step() {
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        Fail(db_, rc);
    }
    return false;
}

void Statement::Run() {
    while (Step()) {
    }
}

void Statement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool Statement::IsNull(int column) {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string Statement::Bytes(int column) {
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return data != nullptr
               ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
               : std::string();
}

std::int64_t Statement::Int(int column) {
    return sqlite3_column_int64(statement_, column);
}

void Statement::Check(int rc) {
    if (rc != SQLITE_OK) {
        Fail(db_, rc);
    }
}

std::int64_t QueryInt(sqlite3* db, const char* sql) {
    Statement statement(db, sql);
    return statement.Step() ? statement.Int(0) : 0;
}

Transaction::Transaction(sqlite3* db, const char* begin) : db_(db) {
    Execute(db_, begin);
}

Transaction::~Transaction() {
    if (!committed_) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::Commit() {
    Execute(db_, "COMMIT");
    committed_ = true;
}

sqlite3* OpenRecordsFile(const std::string& path) {
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
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
        nullptr);
    try {
        if (rc != SQLITE_OK) {
            Fail(db, rc);
        }
        // A station's workers write the one file at once; each waits its turn.
        sqlite3_busy_timeout(db, 15000);
        sqlite3_extended_result_codes(db, 1);
        Migrate(db);
        UseWriteAheadLog(db);
        // FULL: a change reported stored survives a power cut, not only a crash.
        Execute(db, "PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

}  // namespace records::sqlite
