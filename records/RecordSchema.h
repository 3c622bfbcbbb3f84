// The tables every store keeps a record in, described once: the station's
// SQLite file and the line's server (through libpq or ODBC) make their
// CREATE TABLE, INSERT and SELECT from this, each in its own words (its
// dialect: the SQL type of each kind of column, how it marks a value, how it
// reads bytes back). A column is added here, with the schema version that
// brings it: each store's migration to that version adds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/DeviceRecord.h"
#include "records/ItemText.h"

namespace records::schema {

// What a column holds; each dialect names its SQL type (by a table in this
// order).
enum class Type {
    Id,       // a record's UUID
    Time,     // UTC, "2026-12-09T10:11:12.345Z" in the record
    Text,     // UTF-8
    Bytes,    // device bytes, exactly
    Integer,  // 32 bits
    BigInt,   // 64 bits
    Flag,     // true or false
};

// A value as a statement takes it.
struct Value {
    enum class Kind { Null, Text, Bytes, Integer, Flag };
    Kind kind = Kind::Null;
    std::string text;         // Text, Bytes
    std::int64_t number = 0;  // Integer, Flag (0 or 1)
};

// A statement's values, in the order of its marks.
using Values = std::vector<Value>;

// A value not NULL in the text form a server takes: numbers in decimal, a
// flag as true or false; text and bytes as they are.
std::string TextForm(const Value& value);

// Text kept as given, also when empty.
Value Required(std::string text);
// Empty text is kept as NULL: the columns where "none" reads better so.
Value Optional(std::string text);
Value Bytes(std::optional<std::string> bytes);
// Empty device bytes are none: NULL.
Value PresentBytes(const std::string& bytes);
Value Integer(std::optional<std::int64_t> number);
Value Flag(bool set);

// One value of a row read back, whichever library read it.
class Cell {
public:
    virtual bool IsNull() const = 0;
    virtual std::string Text() const = 0;   // "" for NULL
    virtual std::string Bytes() const = 0;  // "" for NULL
    // Not for NULL.
    virtual std::int64_t Integer() const = 0;

protected:
    ~Cell() = default;
};

// What a row of each table is made from.
struct RecordRow {
    const DeviceRecord& record;
    const ItemText& text;  // by the record's code page
};
struct ItemRow {
    const DeviceRecord& record;
    const ItemText& text;
    int seq;  // 1, 2, … in the record's order
    const RecordItem& item;
};

template <class Row, class Target>
struct Column {
    std::string_view name;
    Type type;
    // What the column adds to its type: "NOT NULL", "PRIMARY KEY", a check.
    std::string_view constraint;
    // The schema version that brought it.
    int since;
    Value (*bind)(const Row& row);
    // Null for a column only written (a readable copy of device bytes): it
    // is not read back.
    void (*read)(Target& target, const Cell& cell);
};

template <class Row, class Target>
struct Table {
    using RowType = Row;
    using TargetType = Target;

    std::string_view name;
    std::vector<Column<Row, Target>> columns;
    std::string_view constraint;  // for the table as a whole; may be empty
    int since;
    // SQLite keeps it by its primary key alone (WITHOUT ROWID).
    bool withoutRowid;

    // The columns read back, in their order in the table.
    std::vector<const Column<Row, Target>*> Read() const {
        std::vector<const Column<Row, Target>*> read;
        for (const auto& column : columns) {
            if (column.read != nullptr) {
                read.push_back(&column);
            }
        }
        return read;
    }
};

using RecordTable = Table<RecordRow, DeviceRecord>;
using ItemTable = Table<ItemRow, RecordItem>;

// device_records: one row a record.
const RecordTable& Records();
// record_items: a record's items, by (record_id, seq).
const ItemTable& Items();

// A listing's filters on device_records, in order: the column with its
// comparison ("imei =") and the value compared with it, of the column's type.
struct Condition {
    std::string_view test;
    Type type;
    Value value;
};
std::vector<Condition> Conditions(const RecordQuery& query);

// What each schema version brings a store besides the tables' columns (its
// indexes, its own tables), in order; a version with nothing more needs no
// entry. Each statement apart: not every client library takes several in one.
using StoreSteps = std::vector<std::vector<const char*>>;

// The version a store writes: the latest its own steps, a table or a column
// came with, so that a column added here with the next version is migrated in
// without more. Both stores count versions alike: a version that brings one
// store an index alone is an empty step in the other's.
int LatestVersion(const StoreSteps& own);

// Quoted, so no name ever meets a keyword of a dialect ("before", "after").
std::string Quoted(std::string_view name);

// A dialect of the tables' SQL has:
//   static std::string_view SqlType(Type)  the column type it names a Type by
//   static constexpr bool kWithoutRowid     whether it keeps SQLite's
//                                           WITHOUT ROWID tables
// and, to read rows back:
//   static std::string Select(Type, const std::string& quotedColumn)
//                                           the column as its library reads it

// "\"name\" TYPE constraint", as a CREATE TABLE or an ADD COLUMN names it.
template <class Dialect, class Column>
std::string ColumnDefinition(const Column& column) {
    std::string definition = Quoted(column.name) + " " + std::string(Dialect::SqlType(column.type));
    if (!column.constraint.empty()) {
        definition += " " + std::string(column.constraint);
    }
    return definition;
}

// "CREATE TABLE …" with the columns the table had at version.
template <class Dialect, class Table>
std::string CreateTable(const Table& table, int version) {
    std::string sql = "CREATE TABLE " + std::string(table.name) + " (";
    const char* separator = "\n    ";
    for (const auto& column : table.columns) {
        if (column.since > version) {
            continue;
        }
        sql += separator + ColumnDefinition<Dialect>(column);
        separator = ",\n    ";
    }
    if (!table.constraint.empty()) {
        sql += separator + std::string(table.constraint);
    }
    sql += "\n)";
    if (table.withoutRowid && Dialect::kWithoutRowid) {
        sql += " WITHOUT ROWID";
    }
    return sql;
}

// The statements that bring a table from version - 1 to version: made, when
// that version brings it; else the columns that version brings added (a
// column added later must allow NULL or have a default: both dialects' ADD
// COLUMN ask that).
template <class Dialect, class Table>
void TableSteps(const Table& table, int version, std::vector<std::string>& steps) {
    if (table.since == version) {
        steps.push_back(CreateTable<Dialect>(table, version));
        return;
    }
    if (table.since > version) {
        return;
    }
    for (const auto& column : table.columns) {
        if (column.since == version) {
            steps.push_back("ALTER TABLE " + std::string(table.name) + " ADD COLUMN " +
                            ColumnDefinition<Dialect>(column));
        }
    }
}

// The statements that bring a store from version - 1 to version: every
// table's, then the store's own.
template <class Dialect>
std::vector<std::string> Migration(int version, const StoreSteps& own) {
    std::vector<std::string> steps;
    TableSteps<Dialect>(Records(), version, steps);
    TableSteps<Dialect>(Items(), version, steps);
    if (version >= 1 && static_cast<std::size_t>(version) <= own.size()) {
        const auto& more = own[static_cast<std::size_t>(version - 1)];
        steps.insert(steps.end(), more.begin(), more.end());
    }
    return steps;
}

// The row's values in the order of the table's columns.
template <class Table>
std::vector<Value> Bind(const Table& table, const typename Table::RowType& row) {
    std::vector<Value> values;
    values.reserve(table.columns.size());
    for (const auto& column : table.columns) {
        values.push_back(column.bind(row));
    }
    return values;
}

// "SELECT a, b, c FROM table" for the columns read back, each as the
// dialect reads it.
template <class Dialect, class Table>
std::string Select(const Table& table) {
    std::string sql = "SELECT ";
    const char* separator = "";
    for (const auto* column : table.Read()) {
        sql += separator + Dialect::Select(column->type, Quoted(column->name));
        separator = ", ";
    }
    return sql + " FROM " + std::string(table.name);
}

// A row of a Select, into what it describes; cellAt(i)
// gives the row's i-th value (a Cell).
template <class Table, class CellAt>
typename Table::TargetType ReadRow(const Table& table, CellAt cellAt) {
    typename Table::TargetType target{};
    int column = 0;
    for (const auto* read : table.Read()) {
        read->read(target, cellAt(column++));
    }
    return target;
}

// "INSERT INTO table (a, b, …) VALUES (…), (…)" for rows rows: marks only,
// numbered on from 1, each as mark(number, its column's type) makes it.
template <class Table, class Mark>
std::string InsertSql(const Table& table, std::size_t rows, Mark mark) {
    std::string names;
    for (const auto& column : table.columns) {
        names += (names.empty() ? "" : ", ") + Quoted(column.name);
    }
    std::string sql = "INSERT INTO " + std::string(table.name) + " (" + names + ") VALUES ";
    int number = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        sql += row == 0 ? "(" : ", (";
        for (std::size_t column = 0; column < table.columns.size(); ++column) {
            sql += (column == 0 ? "" : ", ") + mark(++number, table.columns[column].type);
        }
        sql += ")";
    }
    return sql;
}

}  // namespace records::schema
