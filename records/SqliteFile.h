// The station's records file as each of its stores opens it (the records,
// the value pools), and the one way they run a statement on it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/NonCopyable.h"
#include "records/RecordSchema.h"

struct sqlite3;
struct sqlite3_stmt;

namespace records::sqlite {

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

// Opens the file, creating it (and its folder) if need be, and brings its
// schema up to date: records and pools alike, whichever store opens it
// first. Throws StoreError; the caller closes what it returns.
sqlite3* OpenRecordsFile(const std::string& path);

[[noreturn]] void Fail(sqlite3* db, int code);
void Execute(sqlite3* db, const char* sql);

class Statement : NonCopyable {
public:
    Statement(sqlite3* db, const char* sql);
    Statement(sqlite3* db, const std::string& sql) : Statement(db, sql.c_str()) {}
    ~Statement();

    // Each value numbered on from the first. An empty text is kept as
    // empty, not as unknown.
    void Bind(const std::vector<schema::Value>& values);
    // True while there is a row.
    bool Step();
    void Run();
    void Reset();

    bool IsNull(int column);
    std::string Bytes(int column);
    std::int64_t Int(int column);

private:
    void Check(int rc);

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// The first column of the first row, 0 for none.
std::int64_t QueryInt(sqlite3* db, const char* sql);

// Commits at Commit(), rolls back otherwise: a change is all there or not at all.
class Transaction : NonCopyable {
public:
    // IMMEDIATE: the write lock is taken at once, so two workers never both
    // read and then both wait to write.
    explicit Transaction(sqlite3* db, const char* begin = "BEGIN IMMEDIATE");
    ~Transaction();
    void Commit();

private:
    sqlite3* db_;
    bool committed_ = false;
};

}  // namespace records::sqlite
