// What a line's server is asked, whatever the client library that reaches it:
// libpq on Linux, ODBC on Windows. Both speak to the same PostgreSQL tables,
// so the SQL, the order of the values and the reading of the rows are written
// once, here; a Dialect names how its library marks a value and carries bytes.
//
// A Dialect has:
//   Connection   Exec(sql, schema::Values) -> Result, ExecScript(sql), Begin(),
//                Commit(), Rollback() (which never throws),
//                ExecEach(sql, schema::Values, visit(const Result&, int row)): the rows
//                handed over as they arrive, not gathered first
//   Result       Rows, IsNull, Text, Bytes
//   static std::string Placeholder(int number, std::string_view type)
//     the number-th value, typed as the column ("uuid", "bytea", "" for text)
//   static std::string ReadBytes(std::string_view column)
//     a bytea column as the Result's Bytes reads it
#pragma once

#include <algorithm>
#include <cctype>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/NonCopyable.h"
#include "records/DeviceRecord.h"
#include "records/ItemText.h"
#include "records/RecordSchema.h"
#include "records/RecordStore.h"
#include "records/ServerSchema.h"

namespace records::server {

// Rows per INSERT: within the protocol's 65535 values of one statement.
constexpr int kRecordsPerInsert = 500;
constexpr int kItemsPerInsert = 4000;

// How the server's columns are read back through the Dialect's library.
template <class Dialect>
struct ServerRead {
    static std::string Select(schema::Type type, const std::string& column) {
        switch (type) {
            case schema::Type::Id:
                // The server's own form, lower case, where a driver would give
                // a uuid column its own (psqlODBC: upper case).
                return "CAST(" + column + " AS text)";
            case schema::Type::Time:
                // The form records keep their times in: UTC, milliseconds, 'Z'.
                return "to_char(" + column +
                       " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
            case schema::Type::Bytes:
                return Dialect::ReadBytes(column);
            case schema::Type::Flag:
                return "CAST(" + column + " AS integer)";
            default:
                return column;
        }
    }
};

// One value of the rows a statement brought back.
template <class Rows>
class RowCell : public schema::Cell {
public:
    RowCell(const Rows& rows, int row, int column) : rows_(rows), row_(row), column_(column) {}
    bool IsNull() const override { return rows_.IsNull(row_, column_); }
    std::string Text() const override { return rows_.Text(row_, column_); }
    std::string Bytes() const override { return rows_.Bytes(row_, column_); }
    std::int64_t Integer() const override { return std::stoll(rows_.Text(row_, column_)); }

private:
    const Rows& rows_;
    int row_;
    int column_;
};

// The row-th row of rows, read with schema::Select.
template <class Table, class Rows>
typename Table::TargetType ReadRow(const Table& table, const Rows& rows, int row) {
    return schema::ReadRow(table, [&](int column) { return RowCell<Rows>(rows, row, column); });
}

template <class Dialect>
std::string RecordSelect() {
    return schema::Select<ServerRead<Dialect>>(schema::Records());
}

// The values go as parameters, each typed as its column where a multi-row
// VALUES list would not tell it.
template <class Dialect, class Table>
std::string InsertSql(const Table& table, std::size_t rows) {
    return schema::InsertSql(table, rows, [](int number, schema::Type type) {
        return Dialect::Placeholder(number, ParamType(type));
    });
}

inline void Append(schema::Values& values, const schema::Values& more) {
    values.insert(values.end(), more.begin(), more.end());
}

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The usual text form of a UUID; anything else names no record.
inline bool LooksLikeUuid(const std::string& id) {
    if (id.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? id[i] != '-' : !std::isxdigit(static_cast<unsigned char>(id[i]))) {
            return false;
        }
    }
    return true;
}

// Each id once, the first one given, in the order of the ids: every pusher
// takes the rows' locks in the same order, so two never wait on each other.
inline std::vector<const DeviceRecord*> DistinctById(const std::vector<DeviceRecord>& records) {
    std::vector<const DeviceRecord*> distinct;
    std::set<std::string> seen;
    for (const DeviceRecord& record : records) {
        if (seen.insert(Lower(record.id)).second) {
            distinct.push_back(&record);
        }
    }
    std::stable_sort(
        distinct.begin(), distinct.end(),
        [](const DeviceRecord* a, const DeviceRecord* b) { return Lower(a->id) < Lower(b->id); });
    return distinct;
}

// Begin now, Commit when told; rolled back when left early by an exception.
template <class Connection>
class Transaction : NonCopyable {
public:
    explicit Transaction(Connection& connection) : connection_(connection) { connection_.Begin(); }
    ~Transaction() {
        if (open_) {
            connection_.Rollback();
        }
    }

    void Commit() {
        open_ = false;
        connection_.Commit();
    }

private:
    Connection& connection_;
    bool open_ = true;
};

// The statements of one store, on the connection it holds.
template <class Dialect>
class Queries {
public:
    using Connection = typename Dialect::Connection;

    // All in one transaction; records the server has (or that come twice)
    // are left as they are, items and all.
    static void AddAll(Connection& connection, const std::vector<DeviceRecord>& records) {
        const std::vector<const DeviceRecord*> distinct = DistinctById(records);
        if (distinct.empty()) {
            return;
        }
        Transaction<Connection> transaction(connection);
        // A record's items go in only with its row: one the server had keeps
        // the items it came with, also when two pushers race with the same id.
        const std::set<std::string> added = InsertRecords(connection, distinct);
        ItemBatch items(connection);
        for (const DeviceRecord* record : distinct) {
            if (!added.contains(Lower(record->id))) {
                continue;
            }
            const ItemText text(record->codePage);
            int seq = 0;
            for (const RecordItem& item : record->items) {
                items.Add(schema::ItemRow{*record, text, ++seq, item});
            }
        }
        items.Flush();
        transaction.Commit();
    }

    static void ForEach(Connection& connection, const RecordQuery& query,
                        const std::function<void(const DeviceRecord&)>& visit) {
        std::string sql = RecordSelect<Dialect>() + " WHERE true";
        schema::Values params;
        for (const schema::Condition& condition : schema::Conditions(query)) {
            params.push_back(condition.value);
            sql += " AND " + std::string(condition.test) + " " +
                   Dialect::Placeholder(static_cast<int>(params.size()), ParamType(condition.type));
        }
        sql += " ORDER BY started_at DESC, id";
        if (query.limit > 0) {
            params.push_back(schema::Integer(query.limit));
            sql += " LIMIT " + Dialect::Placeholder(static_cast<int>(params.size()), "bigint");
        }
        connection.ExecEach(sql, params, [&visit](const auto& rows, int row) {
            visit(ReadRow(schema::Records(), rows, row));
        });
    }

    static std::optional<DeviceRecord> Get(Connection& connection, const std::string& id) {
        if (!LooksLikeUuid(id)) {
            return std::nullopt;
        }
        const schema::Values key{schema::Required(id)};
        const auto rows = connection.Exec(
            RecordSelect<Dialect>() + " WHERE id = " + Dialect::Placeholder(1, "uuid"), key);
        if (rows.Rows() == 0) {
            return std::nullopt;
        }
        DeviceRecord record = ReadRow(schema::Records(), rows, 0);
        const auto items = connection.Exec(
            schema::Select<ServerRead<Dialect>>(schema::Items()) +
                " WHERE record_id = " + Dialect::Placeholder(1, "uuid") + " ORDER BY seq",
            key);
        for (int row = 0; row < items.Rows(); ++row) {
            record.items.push_back(ReadRow(schema::Items(), items, row));
        }
        return record;
    }

    // Applies what migrations the server lacks, under a transaction-level
    // advisory lock: twenty stations starting at once migrate once, the
    // others wait and find it done. Throws StoreError (Kind::Newer for a
    // schema this version does not know).
    static void Migrate(Connection& connection) {
        // Nearly always the server is up to date already: one question tells
        // it, without a lock or a transaction (a lookup waits on this).
        try {
            if (Version(connection) == KnownVersion()) {
                return;
            }
        } catch (const StoreError& error) {
            // A server without the table yet: made below. A lost connection
            // fails there too.
            if (error.kind() != StoreError::Kind::Other) {
                throw;
            }
        }
        Transaction<Connection> transaction(connection);
        connection.Exec("SELECT pg_advisory_xact_lock(" + Dialect::Placeholder(1, "bigint") + ")",
                        {schema::Required(kMigrationLock)});
        connection.Exec(
            "CREATE TABLE IF NOT EXISTS schema_migrations ("
            "version integer PRIMARY KEY, applied_at timestamptz)",
            {});
        for (int next = Version(connection) + 1; next <= KnownVersion(); ++next) {
            for (const std::string& statement : Migration(next)) {
                connection.ExecScript(statement);
            }
            connection.Exec("INSERT INTO schema_migrations VALUES (" +
                                Dialect::Placeholder(1, "integer") + ", now())",
                            {schema::Integer(next)});
        }
        transaction.Commit();
    }

private:
    // The server's schema version, one this program knows (else it throws).
    static int Version(Connection& connection) {
        const auto current =
            connection.Exec("SELECT coalesce(max(version), 0) FROM schema_migrations", {});
        const int version = std::stoi(current.Text(0, 0));
        CheckKnown(version);
        return version;
    }

    // Inserts the records' rows; returns those that were new (lower-case ids).
    static std::set<std::string> InsertRecords(Connection& connection,
                                               const std::vector<const DeviceRecord*>& records) {
        std::set<std::string> added;
        for (std::size_t first = 0; first < records.size(); first += kRecordsPerInsert) {
            const std::size_t count =
                std::min<std::size_t>(kRecordsPerInsert, records.size() - first);
            schema::Values params;
            for (std::size_t i = first; i < first + count; ++i) {
                const ItemText text(records[i]->codePage);
                Append(params,
                       schema::Bind(schema::Records(), schema::RecordRow{*records[i], text}));
            }
            const auto returned =
                connection.Exec(InsertSql<Dialect>(schema::Records(), count) +
                                    " ON CONFLICT (id) DO NOTHING RETURNING CAST(id AS text)",
                                params);
            for (int row = 0; row < returned.Rows(); ++row) {
                added.insert(Lower(returned.Text(row, 0)));
            }
        }
        return added;
    }

    // One statement's worth of item rows, gathered across records.
    class ItemBatch {
    public:
        explicit ItemBatch(Connection& connection) : connection_(connection) {}

        void Add(const schema::ItemRow& row) {
            Append(params_, schema::Bind(schema::Items(), row));
            if (++rows_ == kItemsPerInsert) {
                Flush();
            }
        }
        void Flush() {
            if (rows_ == 0) {
                return;
            }
            connection_.Exec(InsertSql<Dialect>(schema::Items(), static_cast<std::size_t>(rows_)),
                             params_);
            params_.clear();
            rows_ = 0;
        }

    private:
        Connection& connection_;
        schema::Values params_;
        int rows_ = 0;
    };
};

}  // namespace records::server
