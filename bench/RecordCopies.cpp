#include "RecordCopies.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <stdexcept>

#include "PostgresServer.h"
#include "SampleRecord.h"
#include "records/PostgresRecordStore.h"
#include "records/ServerRecordStore.h"
#include "records/SqliteRecordStore.h"

namespace bench {
namespace {

// 2026-12-09T10:00:00Z, the start of testsupport::SampleTime(0): copy n
// starts n seconds after the record it was made from.
constexpr long kFirstStart = 1796810400;

// How one SQL dialect names the copy number n.i and makes a copy's own fields of it.
struct Dialect {
    std::string with;    // put before the INSERT: a table of the numbers, or empty
    std::string series;  // the FROM item of the numbers 1 to count - 1, called n(i)
    std::map<std::string, std::string> instead;  // column: its value in copy n.i
};

// INSERT … SELECT of every row of `table` that belongs to the template, once
// for each copy number: the columns in `instead` made anew, the others as they are.
std::string CopyStatement(const Dialect& dialect, const std::string& table,
                          const std::string& columns, const std::string& key,
                          const std::string& templateId) {
    std::string names;
    std::string values;
    std::stringstream list(columns);
    for (std::string column; std::getline(list, column, ',');) {
        const auto made = dialect.instead.find(column == key ? "id" : column);
        names += (names.empty() ? "\"" : ", \"") + column + "\"";
        values += (values.empty() ? "" : ", ") +
                  (made != dialect.instead.end() ? made->second : "t.\"" + column + "\"");
    }
    return dialect.with + "INSERT INTO " + table + " (" + names + ") SELECT " + values + " FROM " +
           table + " t, " + dialect.series + " WHERE t.\"" + key + "\" = '" + templateId + "'";
}

void SqliteExec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string what = error != nullptr ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(sql + ": " + what);
    }
}

std::string SqliteColumns(sqlite3* db, const std::string& table) {
    sqlite3_stmt* statement = nullptr;
    const std::string sql =
        "SELECT group_concat(name, ',') FROM pragma_table_info('" + table + "')";
    sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    std::string columns;
    if (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
        columns = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    if (columns.empty()) {
        throw std::runtime_error("no table " + table + " in the records file");
    }
    return columns;
}

}  // namespace

std::string CopiedImei(long n, long devices) {
    char imei[24];
    std::snprintf(imei, sizeof imei, "86%013ld", n % devices);
    return imei;
}

records::DeviceRecord CopiedTemplate(const Copies& copies) {
    return testsupport::SampleRecord(CopiedImei(0, copies.devices), testsupport::SampleTime(0),
                                     records::Result::Ok, copies.station);
}

void FillSqlite(const std::string& path, const Copies& copies, bool queued) {
    const records::DeviceRecord first = CopiedTemplate(copies);
    {
        using Queue = records::SqliteRecordStore::Queue;
        records::SqliteRecordStore store(path, queued ? Queue::ForServer : Queue::None);
        store.Add(first);
    }
    if (copies.count < 2) {
        return;
    }
    const std::string imei = "printf('86%013d', n.i % " + std::to_string(copies.devices) + ")";
    const std::string start =
        "strftime('%Y-%m-%dT%H:%M:%fZ', " + std::to_string(kFirstStart) + " + n.i, 'unixepoch')";
    const Dialect sqlite{
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(copies.count - 1) + ") ",
        "n",
        {{"id", "printf('%08x-0000-4000-8000-%012x', " + std::to_string(copies.series) + ", n.i)"},
         {"started_at", start},
         {"finished_at", start},
         {"imei", "CAST(" + imei + " AS BLOB)"},
         {"imei_text", imei}}};
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path);
    }
    try {
        // The indexes' pages stay in memory while a million rows go in.
        SqliteExec(db, "PRAGMA cache_size = -262144; BEGIN");
        SqliteExec(db, CopyStatement(sqlite, "device_records", SqliteColumns(db, "device_records"),
                                     "id", first.id));
        for (const char* table : {"record_items", "outbox"}) {
            SqliteExec(
                db, CopyStatement(sqlite, table, SqliteColumns(db, table), "record_id", first.id));
        }
        SqliteExec(db, "COMMIT");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

void FillPostgres(const std::string& uri, const Copies& copies) {
    const records::DeviceRecord first = CopiedTemplate(copies);
    records::PostgresRecordStore(uri, std::chrono::seconds(10)).Add(first);
    if (copies.count < 2) {
        return;
    }
    const std::string imei =
        "'86' || lpad((n.i % " + std::to_string(copies.devices) + ")::text, 13, '0')";
    const std::string start = "timestamptz '2026-12-09 10:00:00+00' + n.i * interval '1 second'";
    char series[16];
    std::snprintf(series, sizeof series, "%08x", static_cast<unsigned>(copies.series));
    const Dialect postgres{"",
                           "generate_series(1, " + std::to_string(copies.count - 1) + ") AS n(i)",
                           {{"id", "('" + std::string(series) +
                                       "-0000-4000-8000-' || lpad(to_hex(n.i), 12, '0'))::uuid"},
                            {"started_at", start},
                            {"finished_at", start},
                            {"imei", "convert_to(" + imei + ", 'UTF8')"},
                            {"imei_text", imei}}};
    const auto columns = [&](const std::string& table) {
        return testsupport::PostgresServer::Scalar(
            uri,
            "SELECT string_agg(column_name, ',' ORDER BY ordinal_position) FROM "
            "information_schema.columns WHERE table_schema = current_schema() AND table_name = '" +
                table + "'");
    };
    using testsupport::PostgresServer;
    PostgresServer::Scalar(uri, "BEGIN; " +
                                    CopyStatement(postgres, "device_records",
                                                  columns("device_records"), "id", first.id) +
                                    "; " +
                                    CopyStatement(postgres, "record_items", columns("record_items"),
                                                  "record_id", first.id) +
                                    "; COMMIT");
    PostgresServer::Scalar(uri, "ANALYZE");
}

std::string WithCheckDigit(const std::string& fourteen) {
    int sum = 0;
    for (std::size_t i = 0; i < fourteen.size(); ++i) {
        const int digit = fourteen[i] - '0';
        // Every second digit from the left of fourteen is the one doubled.
        sum += i % 2 == 1 ? 2 * digit / 10 + 2 * digit % 10 : digit;
    }
    return fourteen + static_cast<char>('0' + (10 - sum % 10) % 10);
}

void FillLine(const std::string& uri, const LineRecords& line) {
    using testsupport::PostgresServer;
    // The stations' own code makes the tables, as the first station to reach
    // the server would, and adds the record every copy is made from.
    const Copies copies{1, 1, 0, "line-st01"};
    const records::DeviceRecord first = CopiedTemplate(copies);
    records::OpenServerStore(uri, std::chrono::seconds(10))->AddAll({first});
    if (line.count < 1) {
        return;
    }
    const std::string n = "n.i";
    const std::string stations = std::to_string(line.stations);
    const auto failed = [&](const std::string& x) {
        return "((" + x + ") % " + stations + " + (" + x + ") / " + stations + ") % 20 = 13";
    };
    const std::string failedHere = failed(n);
    const std::string start = "now() - ((" + std::to_string(line.count) + " - n.i) * (" +
                              std::to_string(line.days) + " * 86400.0 / " +
                              std::to_string(line.count) + ")) * interval '1 second'";
    // Which failure: each station's failed records take the messages in
    // turn, the stations each from a message of their own.
    const std::string which = "(1 + (n.i % " + stations + " + n.i / " + stations + " / 20) % 5)";
    const std::string series = "generate_series(0, " + std::to_string(line.count - 1) + ") AS n(i)";
    const std::string id = "('1e000000-0000-4000-8000-' || lpad(to_hex(n.i), 12, '0'))::uuid";
    // A device that failed is tried again at its station's next record.
    const std::string device = "CASE WHEN n.i >= " + stations + " AND " +
                               failed("n.i - " + stations) + " THEN n.i - " + stations +
                               " ELSE n.i END";
    const Dialect records{
        "",
        "(SELECT i, pg_temp.bench_imei(" + device + ") AS imei FROM " + series + ") AS n",
        {{"id", id},
         {"started_at", start},
         {"finished_at", start + " + interval '38 seconds'"},
         {"station", "'line-st' || lpad((n.i % " + stations + " + 1)::text, 2, '0')"},
         {"port", "'/dev/ttyUSB' || (n.i / " + stations + " % 8)"},
         {"imei", "convert_to(n.imei, 'UTF8')"},
         {"imei_text", "n.imei"},
         {"result", "CASE WHEN " + failedHere + " THEN 'failed' ELSE 'ok' END"},
         {"message", "CASE WHEN " + failedHere +
                         " THEN (ARRAY['Read back failed: APN holds cmnet', 'The device refused "
                         "the password', 'The IMEI came back garbled', 'The report could not be "
                         "written', 'No answer from the device'])[" +
                         which + "] ELSE t.message END"},
         {"message_id", "CASE WHEN " + failedHere +
                            " THEN (ARRAY['IDS_CLI_READ_BACK_FAILED', 'IDS_CLI_PASSWORD_REFUSED', "
                            "'IDS_CLI_BATCH_IMEI_GARBLED', 'IDS_CLI_REPORT_FAILED', NULL])[" +
                            which + "] ELSE t.message_id END"}}};
    const Dialect items{"", series, {{"id", id}}};
    const auto columns = [&](const std::string& table) {
        return PostgresServer::Scalar(
            uri,
            "SELECT string_agg(column_name, ',' ORDER BY ordinal_position) FROM "
            "information_schema.columns WHERE table_schema = current_schema() AND table_name = '" +
                table + "'");
    };
    // Realistic IMEIs: a few makers' TACs, a serial, the check digit.
    const std::string imei =
        "CREATE FUNCTION pg_temp.bench_imei(d bigint) RETURNS text LANGUAGE sql IMMUTABLE AS $$ "
        "SELECT b || (10 - sum(CASE WHEN i % 2 = 0 THEN 2 * substr(b, i, 1)::int / 10 + "
        "2 * substr(b, i, 1)::int % 10 ELSE substr(b, i, 1)::int END) % 10) % 10 FROM (SELECT "
        "(ARRAY['86452103', '86731504', '35209811', '86907205'])[1 + d % 4] || "
        "lpad((d / 4)::text, 6, '0') AS b) AS body, generate_series(1, 14) AS i GROUP BY b $$; ";
    PostgresServer::Scalar(
        uri,
        imei + "BEGIN; " +
            CopyStatement(records, "device_records", columns("device_records"), "id", first.id) +
            "; " +
            CopyStatement(items, "record_items", columns("record_items"), "record_id", first.id) +
            "; DELETE FROM record_items WHERE record_id = '" + first.id +
            "'; DELETE FROM device_records WHERE id = '" + first.id + "'; COMMIT");
    PostgresServer::Scalar(uri, "ANALYZE");
}

}  // namespace bench
