#include "SqliteConnection.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace sqlitetest {

void Connection::StatementDeleter::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

std::string Gb18030Bytes() {
    return std::string("\xC9\xE8\xB1\xB8\0\x81\x30\x81\x30", 9);
}

std::string RowBytes(const std::string& writer, int n) {
    return Gb18030Bytes() + writer + std::to_string(n);
}

Connection::Connection(const std::filesystem::path& file) {
    // On Windows SQLite takes the name as UTF-8 and opens it with the wide API.
    const std::u8string name = file.u8string();
    const int result = sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(result);
        sqlite3_close(db_);
        throw std::runtime_error("opening the database: " + message);
    }
}

Connection::~Connection() {
    sqlite3_close(db_);
}

void Connection::Check(int result, const std::string& what) const {
    if (result != SQLITE_OK && result != SQLITE_ROW && result != SQLITE_DONE) {
        throw std::runtime_error(what + ": " + sqlite3_errmsg(db_));
    }
}

void Connection::Exec(const std::string& sql) {
    Check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), sql);
}

std::string Connection::Text(const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    Check(sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr), sql);
    const Statement statement(raw);
    const int result = sqlite3_step(raw);
    Check(result, sql);
    if (result != SQLITE_ROW) {
        return {};
    }
    const unsigned char* text = sqlite3_column_text(raw, 0);
    return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(raw, 0))
                : std::string();
}

// A statement about one writer's row n: the writer and number bound first.
Connection::Statement Connection::RowStatement(const std::string& sql, const std::string& writer,
                                               int n) {
    sqlite3_stmt* raw = nullptr;
    Check(sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr), sql);
    Statement statement(raw);
    Check(
        sqlite3_bind_text(raw, 1, writer.data(), static_cast<int>(writer.size()), SQLITE_TRANSIENT),
        "binding the writer");
    Check(sqlite3_bind_int(raw, 2, n), "binding the number");
    return statement;
}

void Connection::Insert(const std::string& writer, int n, const std::string& bytes) {
    const Statement statement =
        RowStatement("INSERT INTO rows(writer, n, bytes) VALUES(?, ?, ?)", writer, n);
    Check(sqlite3_bind_blob(statement.get(), 3, bytes.data(), static_cast<int>(bytes.size()),
                            SQLITE_TRANSIENT),
          "binding the bytes");
    Check(sqlite3_step(statement.get()), "inserting " + writer + " " + std::to_string(n));
}

std::string Connection::Bytes(const std::string& writer, int n) {
    const Statement statement =
        RowStatement("SELECT bytes FROM rows WHERE writer = ? AND n = ?", writer, n);
    const int result = sqlite3_step(statement.get());
    Check(result, "reading " + writer + " " + std::to_string(n));
    if (result != SQLITE_ROW) {
        throw std::runtime_error("no row " + writer + " " + std::to_string(n));
    }
    const void* blob = sqlite3_column_blob(statement.get(), 0);
    return blob ? std::string(static_cast<const char*>(blob),
                              sqlite3_column_bytes(statement.get(), 0))
                : std::string();
}

}  // namespace sqlitetest
