// What a line's server is asked, whatever the client library that reaches it:
// libpq on Linux, ODBC on Windows. Both speak to the same PostgreSQL tables,
// so the SQL, the order of the values and the reading of the rows are written
// once, here; a Dialect names how its library marks a value and carries bytes.
//
// A Dialect has:
//   Connection   Exec(sql, Params) -> Result, ExecScript(sql),
//                ExecEach(sql, Params, visit(const Result&, int row)): the rows
//                handed over as they arrive, not gathered first
//   Params       Text, TextOrNull, Bytes (string or optional), Null, Count
//   Result       Rows, IsNull, Text, Bytes, OptionalBytes
//   Transaction  made on a Connection; Commit(), rolled back when left early
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

#include "records/DeviceRecord.h"
#include "records/ItemText.h"
#include "records/RecordStore.h"
#include "records/ServerSchema.h"

namespace records::server {

// Rows per INSERT: within the protocol's 65535 values of one statement.
constexpr int kRecordsPerInsert = 500;
constexpr int kItemsPerInsert = 4000;

// A column an INSERT fills, and the type its value is given where a
// multi-row VALUES list would not tell it.
struct Column {
    std::string_view name;
    std::string_view type;
};
using Table = std::vector<Column>;

inline const Table kRecordColumns = {
    {"id", "uuid"},
    {"started_at", "timestamptz"},
    {"finished_at", "timestamptz"},
    {"station", ""},
    {"operator", ""},
    {"port", ""},
    {"command", ""},
    {"imei", "bytea"},
    {"imei_text", ""},
    {"version", "bytea"},
    {"version_text", ""},
    {"result", ""},
    {"message", ""},
    {"message_id", ""},
    {"profile_name", ""},
    {"profile_sha256", ""},
    {"firmware_name", ""},
    {"firmware_sha256", ""},
    {"firmware_bytes", "bigint"},
    {"tool_version", ""},
    {"code_page", ""},
};

inline const Table kItemColumns = {
    {"record_id", "uuid"}, {"seq", "integer"},  {"number", "integer"}, {"name", "bytea"},
    {"before", "bytea"},   {"wanted", "bytea"}, {"after", "bytea"},    {"written", "boolean"},
    {"name_text", ""},     {"before_text", ""}, {"wanted_text", ""},   {"after_text", ""},
};

// The form records keep their times in: UTC, milliseconds, 'Z'.
inline std::string UtcText(std::string_view column) {
    return "to_char(" + std::string(column) +
           " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
}

template <class Dialect>
std::string RecordSelect() {
    // The id as text: the server's own form, lower case, where a driver
    // would give a uuid column its own (psqlODBC: upper case).
    return "SELECT CAST(id AS text), " + UtcText("started_at") + ", " + UtcText("finished_at") +
           ", station, operator, port, command, " + Dialect::ReadBytes("imei") + ", " +
           Dialect::ReadBytes("version") +
           ", result, message, message_id, profile_name, profile_sha256, firmware_name, "
           "firmware_sha256, firmware_bytes, tool_version, code_page FROM device_records";
}

template <class Dialect>
std::string ItemSelect() {
    return "SELECT number, " + Dialect::ReadBytes("name") + ", " + Dialect::ReadBytes("before") +
           ", " + Dialect::ReadBytes("wanted") + ", " + Dialect::ReadBytes("after") +
           ", CAST(written AS integer) FROM record_items WHERE record_id = " +
           Dialect::Placeholder(1, "uuid") + " ORDER BY seq";
}

// "INSERT INTO table (a, b, …) VALUES (…), (…)": placeholders only, the
// values go as parameters.
template <class Dialect>
std::string InsertSql(std::string_view table, const Table& columns, std::size_t rows) {
    std::string sql = "INSERT INTO " + std::string(table) + " (";
    for (std::size_t column = 0; column < columns.size(); ++column) {
        sql += column == 0 ? "" : ", ";
        sql += columns[column].name;
    }
    sql += ") VALUES ";
    int number = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        sql += row == 0 ? "(" : ", (";
        for (std::size_t column = 0; column < columns.size(); ++column) {
            sql += column == 0 ? "" : ", ";
            sql += Dialect::Placeholder(++number, columns[column].type);
        }
        sql += ")";
    }
    return sql;
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

// Empty device bytes are none: NULL, as the station's file keeps them.
inline std::optional<std::string> Present(const std::string& bytes) {
    return bytes.empty() ? std::nullopt : std::optional<std::string>(bytes);
}

template <class Params>
void BindRecord(Params& params, const DeviceRecord& record) {
    const ItemText text(record.codePage);
    params.Text(record.id);
    params.Text(record.startedAt);
    params.Text(record.finishedAt);
    params.Text(record.station);
    params.Text(record.operatorName);
    params.Text(record.port);
    params.Text(record.command);
    params.Bytes(Present(record.imei));
    params.TextOrNull(text.Decode(record.imei));
    params.Bytes(Present(record.version));
    params.TextOrNull(text.Decode(record.version));
    params.Text(ResultName(record.result));
    params.TextOrNull(record.message);
    params.TextOrNull(record.messageId);
    params.TextOrNull(record.profileName);
    params.TextOrNull(record.profileSha256);
    params.TextOrNull(record.firmwareName);
    params.TextOrNull(record.firmwareSha256);
    if (record.firmwareBytes) {
        params.Text(std::to_string(*record.firmwareBytes));
    } else {
        params.Null();
    }
    params.TextOrNull(record.toolVersion);
    params.TextOrNull(record.codePage);
}

template <class Params>
void BindItem(Params& params, const DeviceRecord& record, const ItemText& text, int seq,
              const RecordItem& item) {
    params.Text(record.id);
    params.Text(std::to_string(seq));
    if (item.number == 0) {
        params.Null();
    } else {
        params.Text(std::to_string(item.number));
    }
    params.Bytes(item.name);
    params.Bytes(item.before);
    params.Bytes(item.wanted);
    params.Bytes(item.after);
    params.Text(item.written ? "true" : "false");
    // Unknown bytes decode to "": NULL beside the NULL.
    params.TextOrNull(text.Decode(item.name));
    params.TextOrNull(text.Decode(item.before));
    params.TextOrNull(text.Decode(item.wanted));
    params.TextOrNull(text.Decode(item.after));
}

// The rows of RecordSelect.
template <class Rows>
DeviceRecord RecordAt(const Rows& rows, int row) {
    DeviceRecord record;
    record.id = rows.Text(row, 0);
    record.startedAt = rows.Text(row, 1);
    record.finishedAt = rows.Text(row, 2);
    record.station = rows.Text(row, 3);
    record.operatorName = rows.Text(row, 4);
    record.port = rows.Text(row, 5);
    record.command = rows.Text(row, 6);
    record.imei = rows.Bytes(row, 7);
    record.version = rows.Bytes(row, 8);
    record.result = ParseResult(rows.Text(row, 9)).value_or(Result::Failed);
    record.message = rows.Text(row, 10);
    record.messageId = rows.Text(row, 11);
    record.profileName = rows.Text(row, 12);
    record.profileSha256 = rows.Text(row, 13);
    record.firmwareName = rows.Text(row, 14);
    record.firmwareSha256 = rows.Text(row, 15);
    if (!rows.IsNull(row, 16)) {
        record.firmwareBytes = std::stoll(rows.Text(row, 16));
    }
    record.toolVersion = rows.Text(row, 17);
    record.codePage = rows.Text(row, 18);
    return record;
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

// The statements of one store, on the connection it holds.
template <class Dialect>
class Queries {
public:
    using Connection = typename Dialect::Connection;
    using Params = typename Dialect::Params;
    using Transaction = typename Dialect::Transaction;

    // All in one transaction; records the server has (or that come twice)
    // are left as they are, items and all.
    static void AddAll(Connection& connection, const std::vector<DeviceRecord>& records) {
        const std::vector<const DeviceRecord*> distinct = DistinctById(records);
        if (distinct.empty()) {
            return;
        }
        Transaction transaction(connection);
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
                items.Add(*record, text, ++seq, item);
            }
        }
        items.Flush();
        transaction.Commit();
    }

    static void ForEach(Connection& connection, const RecordQuery& query,
                        const std::function<void(const DeviceRecord&)>& visit) {
        std::string sql = RecordSelect<Dialect>() + " WHERE true";
        Params params;
        auto where = [&](const char* condition, std::string_view type) {
            sql += " AND ";
            sql += condition;
            sql += " " + Dialect::Placeholder(params.Count(), type);
        };
        if (!query.imei.empty()) {
            params.Bytes(query.imei);
            where("imei =", "bytea");
        }
        if (!query.since.empty()) {
            params.Text(query.since);
            where("started_at >=", "timestamptz");
        }
        if (!query.until.empty()) {
            params.Text(query.until);
            where("started_at <", "timestamptz");
        }
        if (query.result) {
            params.Text(ResultName(*query.result));
            where("result =", "");
        }
        if (!query.station.empty()) {
            params.Text(query.station);
            where("station =", "");
        }
        sql += " ORDER BY started_at DESC, id";
        if (query.limit > 0) {
            params.Text(std::to_string(query.limit));
            sql += " LIMIT " + Dialect::Placeholder(params.Count(), "bigint");
        }
        connection.ExecEach(sql, params,
                            [&visit](const auto& rows, int row) { visit(RecordAt(rows, row)); });
    }

    static std::optional<DeviceRecord> Get(Connection& connection, const std::string& id) {
        if (!LooksLikeUuid(id)) {
            return std::nullopt;
        }
        Params key;
        key.Text(id);
        const auto rows = connection.Exec(
            RecordSelect<Dialect>() + " WHERE id = " + Dialect::Placeholder(1, "uuid"), key);
        if (rows.Rows() == 0) {
            return std::nullopt;
        }
        DeviceRecord record = RecordAt(rows, 0);
        const auto items = connection.Exec(ItemSelect<Dialect>(), key);
        for (int row = 0; row < items.Rows(); ++row) {
            RecordItem item;
            item.number = items.IsNull(row, 0) ? 0 : std::stoi(items.Text(row, 0));
            item.name = items.Bytes(row, 1);
            item.before = items.OptionalBytes(row, 2);
            item.wanted = items.OptionalBytes(row, 3);
            item.after = items.OptionalBytes(row, 4);
            item.written = items.Text(row, 5) == "1";
            record.items.push_back(std::move(item));
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
            const auto current = connection.Exec(
                "SELECT coalesce(max(version), 0) FROM schema_migrations", Params());
            const int version = std::stoi(current.Text(0, 0));
            CheckKnown(version);
            if (version == KnownVersion()) {
                return;
            }
        } catch (const StoreError& error) {
            // A server without the table yet: made below. A lost connection
            // fails there too.
            if (error.kind() != StoreError::Kind::Other) {
                throw;
            }
        }
        Transaction transaction(connection);
        Params lock;
        lock.Text(kMigrationLock);
        connection.Exec("SELECT pg_advisory_xact_lock(" + Dialect::Placeholder(1, "bigint") + ")",
                        lock);
        connection.Exec(
            "CREATE TABLE IF NOT EXISTS schema_migrations ("
            "version integer PRIMARY KEY, applied_at timestamptz)",
            Params());
        const auto current =
            connection.Exec("SELECT coalesce(max(version), 0) FROM schema_migrations", Params());
        const int version = std::stoi(current.Text(0, 0));
        CheckKnown(version);
        for (int next = version + 1; next <= KnownVersion(); ++next) {
            for (const char* statement : Migration(next)) {
                connection.ExecScript(statement);
            }
            Params applied;
            applied.Text(std::to_string(next));
            connection.Exec("INSERT INTO schema_migrations VALUES (" +
                                Dialect::Placeholder(1, "integer") + ", now())",
                            applied);
        }
        transaction.Commit();
    }

private:
    // Inserts the records' rows; returns those that were new (lower-case ids).
    static std::set<std::string> InsertRecords(Connection& connection,
                                               const std::vector<const DeviceRecord*>& records) {
        std::set<std::string> added;
        for (std::size_t first = 0; first < records.size(); first += kRecordsPerInsert) {
            const std::size_t count =
                std::min<std::size_t>(kRecordsPerInsert, records.size() - first);
            Params params;
            for (std::size_t i = first; i < first + count; ++i) {
                BindRecord(params, *records[i]);
            }
            const auto returned =
                connection.Exec(InsertSql<Dialect>("device_records", kRecordColumns, count) +
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

        void Add(const DeviceRecord& record, const ItemText& text, int seq,
                 const RecordItem& item) {
            BindItem(params_, record, text, seq, item);
            if (++rows_ == kItemsPerInsert) {
                Flush();
            }
        }
        void Flush() {
            if (rows_ == 0) {
                return;
            }
            connection_.Exec(
                InsertSql<Dialect>("record_items", kItemColumns, static_cast<std::size_t>(rows_)),
                params_);
            params_ = Params();
            rows_ = 0;
        }

    private:
        Connection& connection_;
        Params params_;
        int rows_ = 0;
    };
};

}  // namespace records::server
