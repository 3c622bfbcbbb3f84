// One SQLite connection of the tests under Wine, opened by a path the wide
// file API names, as the records will open theirs. Every failure throws
// std::runtime_error with SQLite's message, in the test and in its second
// writer alike.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "common/NonCopyable.h"

struct sqlite3;
struct sqlite3_stmt;

namespace sqlitetest {

// Rows keyed by who wrote them and their number; the bytes are a BLOB.
inline constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS rows(writer TEXT NOT NULL, n INTEGER NOT NULL, "
    "bytes BLOB NOT NULL, PRIMARY KEY(writer, n))";

// Device text in GB18030 ("设备", a four-byte sequence) around a NUL: bytes
// a text column or a code page conversion would not keep.
std::string Gb18030Bytes();
// What a writer puts in its row n.
std::string RowBytes(const std::string& writer, int n);

class Connection : NonCopyable {
public:
    explicit Connection(const std::filesystem::path& file);
    ~Connection();

    sqlite3* Handle() const { return db_; }
    void Exec(const std::string& sql);
    // The first column of the first row, as text; empty without a row.
    std::string Text(const std::string& sql);
    void Insert(const std::string& writer, int n, const std::string& bytes);
    // The bytes of a row, exactly; throws without the row.
    std::string Bytes(const std::string& writer, int n);

private:
    struct StatementDeleter {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

    Statement RowStatement(const std::string& sql, const std::string& writer, int n);
    void Check(int result, const std::string& what) const;

    sqlite3* db_ = nullptr;
};

}  // namespace sqlitetest
