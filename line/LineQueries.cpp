#include "line/LineQueries.h"

#include <string_view>

#include "common/TextOutput.h"
#include "records/RecordSchema.h"

namespace line {

namespace {

using nlohmann::json;
using records::PgResult;
namespace schema = records::schema;

std::string Utc(const std::string& column) {
    return "to_char(" + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
}

// What each column of a listing is, for its JSON.
enum class Kind { Text, Number, Flag, Real };

struct Column {
    std::string name;
    std::string sql;
    Kind kind = Kind::Text;
};

const std::vector<Column>& RecordSelect() {
    static const std::vector<Column> columns = {
        {"id", "id::text"},
        {"started_at", Utc("started_at")},
        {"finished_at", Utc("finished_at")},
        {"station", "station"},
        {"operator", "operator"},
        {"port", "port"},
        {"command", "command"},
        {"imei_text", "imei_text"},
        {"imei_hex", "encode(imei, 'hex')"},
        {"version_text", "version_text"},
        {"version_hex", "encode(version, 'hex')"},
        {"result", "result"},
        {"message", "message"},
        {"message_id", "message_id"},
        {"profile_name", "profile_name"},
        {"profile_sha256", "profile_sha256"},
        {"firmware_name", "firmware_name"},
        {"firmware_sha256", "firmware_sha256"},
        {"firmware_bytes", "firmware_bytes", Kind::Number},
        {"tool_version", "tool_version"},
        {"code_page", "code_page"},
    };
    return columns;
}

const std::vector<Column>& ItemSelect() {
    static const std::vector<Column> columns = {
        {"seq", "seq", Kind::Number},       {"number", "number", Kind::Number},
        {"name_text", "name_text"},         {"name_hex", "encode(name, 'hex')"},
        {"before_text", "before_text"},     {"before_hex", "encode(before, 'hex')"},
        {"wanted_text", "wanted_text"},     {"wanted_hex", "encode(wanted, 'hex')"},
        {"after_text", "after_text"},       {"after_hex", "encode(after, 'hex')"},
        {"written", "written", Kind::Flag}, {"source", "source"},
    };
    return columns;
}

const std::vector<Column>& StationSelect() {
    static const std::vector<Column> columns = {
        {"station", "station"},
        {"job", "job"},
        {"file_name", "file_name"},
        {"file_sha256", "file_sha256"},
        {"done", "done", Kind::Number},
        {"count", "count", Kind::Number},
        {"failed", "failed", Kind::Number},
        {"devices_per_hour", "devices_per_hour", Kind::Real},
        {"phase", "phase"},
        {"started_at", Utc("started_at")},
        {"changed_at", Utc("changed_at")},
        {"heartbeat_at", Utc("heartbeat_at")},
        // The server's clock judges, as it set heartbeat_at: the stations' clocks never matter.
        {"online", "heartbeat_at > now() - interval '30 seconds'", Kind::Flag},
    };
    return columns;
}

const std::vector<Column>& PortSelect() {
    static const std::vector<Column> columns = {
        {"port_no", "port_no", Kind::Number},
        {"label", "label"},
        {"phase", "phase"},
        {"state_text", "state_text"},
        {"imei_text", "imei_text"},
        {"permille", "permille", Kind::Number},
        {"ok", "ok", Kind::Number},
        {"failed", "failed", Kind::Number},
        {"last_verdict", "last_verdict"},
        {"last_ok", "last_ok", Kind::Flag},
        {"values_source", "values_source"},
    };
    return columns;
}

std::string SelectList(const std::vector<Column>& columns) {
    std::string list;
    for (const Column& column : columns) {
        list += (list.empty() ? "" : ", ") + column.sql;
    }
    return list;
}

json Cell(const PgResult& rows, int row, int column, Kind kind) {
    if (rows.IsNull(row, column)) {
        return nullptr;
    }
    const std::string text = rows.Text(row, column);
    switch (kind) {
        case Kind::Number:
            return std::stoll(text);
        case Kind::Real:
            return std::stod(text);
        case Kind::Flag:
            return text == "t";
        case Kind::Text:
            break;
    }
    return text;
}

json Row(const PgResult& rows, int row, const std::vector<Column>& columns, int first = 0) {
    json object = json::object();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        object[columns[i].name] = Cell(rows, row, first + static_cast<int>(i), columns[i].kind);
    }
    return object;
}

schema::Value Text(const std::string& text) {
    return schema::Required(text);
}

// The WHERE of a span of records, its values appended to values.
std::string SpanWhere(const Span& span, schema::Values& values) {
    std::string where = "started_at >= $" + std::to_string(values.size() + 1) + "::timestamptz";
    values.push_back(Text(span.since));
    where += " AND started_at < $" + std::to_string(values.size() + 1) + "::timestamptz";
    values.push_back(Text(span.until));
    if (!span.station.empty()) {
        where += " AND station = $" + std::to_string(values.size() + 1);
        values.push_back(Text(span.station));
    }
    return where;
}

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

const std::vector<std::string>& RecordColumns() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Column& column : RecordSelect()) {
            list.push_back(column.name);
        }
        return list;
    }();
    return names;
}

std::string EncodeCursor(const std::string& time, const std::string& id) {
    const std::string plain = time + "|" + id;
    std::string cursor;
    for (unsigned char c : plain) {
        cursor += kHex[c >> 4];
        cursor += kHex[c & 15];
    }
    return cursor;
}

std::optional<std::pair<std::string, std::string>> DecodeCursor(const std::string& cursor) {
    // "2026-12-09T10:11:12.345678|" and a UUID: 27 + 36 characters.
    if (cursor.size() != 2 * 63) {
        return std::nullopt;
    }
    std::string plain;
    for (std::size_t i = 0; i < cursor.size(); i += 2) {
        const auto hi = std::string_view(kHex).find(cursor[i]);
        const auto lo = std::string_view(kHex).find(cursor[i + 1]);
        if (hi == std::string_view::npos || lo == std::string_view::npos) {
            return std::nullopt;
        }
        plain += static_cast<char>(hi * 16 + lo);
    }
    constexpr std::string_view kTime = "9999-99-99T99:99:99.999999|";
    for (std::size_t i = 0; i < kTime.size(); ++i) {
        const bool digit = plain[i] >= '0' && plain[i] <= '9';
        if (kTime[i] == '9' ? !digit : plain[i] != kTime[i]) {
            return std::nullopt;
        }
    }
    std::string id = plain.substr(kTime.size());
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = std::string_view(kHex).find(id[i]) != std::string_view::npos;
        if (dash ? id[i] != '-' : !hex) {
            return std::nullopt;
        }
    }
    return std::make_pair(plain.substr(0, kTime.size() - 1) + "Z", id);
}

json RecordsPage(records::PgConnection& db, const RecordsFilter& filter) {
    schema::Values values;
    std::vector<std::string> conditions;
    const auto mark = [&values](schema::Value value, const std::string& cast = "") {
        values.push_back(std::move(value));
        return "$" + std::to_string(values.size()) + cast;
    };
    if (!filter.imei.empty()) {
        conditions.push_back("imei = " + mark(schema::Bytes(filter.imei)));
    }
    if (!filter.since.empty()) {
        conditions.push_back("started_at >= " + mark(Text(filter.since), "::timestamptz"));
    }
    if (!filter.until.empty()) {
        conditions.push_back("started_at < " + mark(Text(filter.until), "::timestamptz"));
    }
    if (!filter.result.empty()) {
        conditions.push_back("result = " + mark(Text(filter.result)));
    }
    if (!filter.station.empty()) {
        conditions.push_back("station = " + mark(Text(filter.station)));
    }
    if (!filter.messageId.empty()) {
        conditions.push_back("message_id = " + mark(Text(filter.messageId)));
    }
    if (!filter.message.empty()) {
        conditions.push_back("message = " + mark(Text(filter.message)));
    }
    if (!filter.afterId.empty()) {
        // The row after the last one given, in the listing's own order: a
        // record that arrives meanwhile never moves the rows already paged.
        conditions.push_back("(started_at, id) < (" +
                             mark(Text(filter.afterTime), "::timestamptz") + ", " +
                             mark(Text(filter.afterId), "::uuid") + ")");
    }
    std::string sql = "SELECT " + SelectList(RecordSelect()) +
                      ", to_char(started_at AT TIME ZONE 'UTC', "
                      "'YYYY-MM-DD\"T\"HH24:MI:SS.US') FROM device_records";
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        sql += (i == 0 ? " WHERE " : " AND ") + conditions[i];
    }
    // The table's id, a uuid, as the cursor compares it; not the text of the listing.
    sql += " ORDER BY device_records.started_at DESC, device_records.id DESC LIMIT " +
           mark(schema::Integer(filter.limit + 1));
    const PgResult rows = db.Exec(sql, values);
    json list = json::array();
    const int shown = std::min(rows.Rows(), filter.limit);
    for (int row = 0; row < shown; ++row) {
        list.push_back(Row(rows, row, RecordSelect()));
    }
    json page = {{"records", list}, {"next_cursor", nullptr}};
    if (rows.Rows() > filter.limit) {
        const int last = filter.limit - 1;
        page["next_cursor"] = EncodeCursor(rows.Text(last, static_cast<int>(RecordSelect().size())),
                                           rows.Text(last, 0));
    }
    return page;
}

json RecordWithItems(records::PgConnection& db, const std::string& id) {
    const PgResult rows =
        db.Exec("SELECT " + SelectList(RecordSelect()) + " FROM device_records WHERE id = $1::uuid",
                {Text(id)});
    if (rows.Rows() == 0) {
        return nullptr;
    }
    json record = Row(rows, 0, RecordSelect());
    const PgResult items = db.Exec("SELECT " + SelectList(ItemSelect()) +
                                       " FROM record_items WHERE record_id = $1::uuid ORDER BY seq",
                                   {Text(id)});
    json list = json::array();
    for (int row = 0; row < items.Rows(); ++row) {
        list.push_back(Row(items, row, ItemSelect()));
    }
    record["items"] = list;
    return record;
}

namespace {

json StationsRead(records::PgConnection& db, const std::string& where,
                  const schema::Values& values);

json StationsWhere(records::PgConnection& db, const std::string& where,
                   const schema::Values& values) {
    // One snapshot for both: a station's row and its ports' rows of the same change.
    db.Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    try {
        json list = StationsRead(db, where, values);
        db.Commit();
        return list;
    } catch (...) {
        db.Rollback();
        throw;
    }
}

json StationsRead(records::PgConnection& db, const std::string& where,
                  const schema::Values& values) {
    const PgResult stations = db.Exec("SELECT " + SelectList(StationSelect()) +
                                          " FROM line_stations" + where + " ORDER BY station",
                                      values);
    const PgResult ports =
        db.Exec("SELECT station, " + SelectList(PortSelect()) + " FROM line_station_ports" + where +
                    " ORDER BY station, port_no",
                values);
    json list = json::array();
    int port = 0;
    for (int row = 0; row < stations.Rows(); ++row) {
        json station = Row(stations, row, StationSelect());
        const std::string name = stations.Text(row, 0);
        json own = json::array();
        // Both in the station's order: the ports of a station follow it.
        while (port < ports.Rows() && ports.Text(port, 0) < name) {
            ++port;
        }
        while (port < ports.Rows() && ports.Text(port, 0) == name) {
            own.push_back(Row(ports, port, PortSelect(), 1));
            ++port;
        }
        station["ports"] = own;
        list.push_back(station);
    }
    return list;
}

}  // namespace

json Stations(records::PgConnection& db) {
    const PgResult now = db.Exec("SELECT " + Utc("now()"));
    return {{"now", now.Text(0, 0)}, {"stations", StationsWhere(db, "", {})}};
}

json OneStation(records::PgConnection& db, const std::string& station) {
    json list = StationsWhere(db, " WHERE station = $1", {Text(station)});
    return list.empty() ? json(nullptr) : list[0];
}

json Yield(records::PgConnection& db, const Span& span, bool byHour, bool byStation) {
    schema::Values values;
    const std::string where = SpanWhere(span, values);
    std::vector<std::string> keys;
    if (byHour) {
        keys.emplace_back("hour");
    }
    if (byStation) {
        keys.emplace_back("station");
    }
    std::string keyList;
    for (const std::string& key : keys) {
        keyList += (keyList.empty() ? "" : ", ") + key;
    }
    const std::string made = std::string(byHour ? ", date_trunc('hour', started_at) AS hour" : "") +
                             (byStation ? ", station" : "");
    const std::string group = keys.empty() ? "" : " GROUP BY " + keyList;
    const std::string shown =
        std::string(byHour ? ", " + Utc("hour") : "") + (byStation ? ", station" : "");
    // A device's attempt in the span is its first record there: it counts
    // once, where that record was made and in its hour. The totals and the
    // rows come from one reading of the span (grouping sets).
    const std::string sql =
        "WITH span AS (SELECT imei, station, started_at, result FROM device_records WHERE " +
        where +
        "), firsts AS (SELECT DISTINCT ON (imei) imei, station, started_at, result FROM span "
        "WHERE imei IS NOT NULL ORDER BY imei, started_at, result), "
        "counted AS (SELECT 1 AS one" +
        made +
        ", count(*) FILTER (WHERE result = 'ok') AS ok, "
        "count(*) FILTER (WHERE result = 'failed') AS failed, "
        "count(*) FILTER (WHERE result = 'interrupted') AS interrupted, count(*) AS records, "
        "0 AS devices, 0 AS first_pass_ok FROM span" +
        group + " UNION ALL SELECT 1" + made +
        ", 0, 0, 0, 0, count(*), count(*) FILTER (WHERE result = 'ok') FROM firsts" + group +
        ") SELECT sum(records), sum(ok), sum(failed), sum(interrupted), sum(devices), "
        "sum(first_pass_ok), " +
        (keys.empty() ? std::string("1") : "GROUPING(" + keyList + ")") + shown + " FROM counted" +
        (keys.empty()
             ? std::string()
             : " GROUP BY GROUPING SETS ((), (" + keyList + ")) ORDER BY 7 DESC, " + keyList);
    const PgResult rows = db.Exec(sql, values);
    const auto counts = [&rows](int row) {
        json c = json::object();
        const char* names[] = {"records",     "ok",      "failed",
                               "interrupted", "devices", "first_pass_ok"};
        for (int i = 0; i < 6; ++i) {
            c[names[i]] = rows.IsNull(row, i) ? 0 : std::stoll(rows.Text(row, i));
        }
        const auto devices = c["devices"].get<long long>();
        c["first_pass_yield"] =
            devices == 0 ? json(nullptr)
                         : json(static_cast<double>(c["first_pass_ok"].get<long long>()) /
                                static_cast<double>(devices));
        return c;
    };
    // The totals' row first: it groups by nothing.
    json answer = {{"since", span.since}, {"until", span.until}, {"totals", counts(0)}};
    if (keys.empty()) {
        return answer;
    }
    json list = json::array();
    for (int row = 1; row < rows.Rows(); ++row) {
        json c = counts(row);
        int column = 7;
        if (byHour) {
            c["hour"] = rows.Text(row, column++);
        }
        if (byStation) {
            c["station"] = rows.Text(row, column++);
        }
        list.push_back(c);
    }
    answer["rows"] = list;
    return answer;
}

json Failures(records::PgConnection& db, const Span& span) {
    schema::Values values;
    const std::string where = SpanWhere(span, values);
    // A message ID stands for its words, which may name a device's values:
    // one row for each ID, shown by its latest words; words without an ID by
    // themselves.
    const std::string sql =
        "SELECT message_id, (array_agg(message ORDER BY started_at DESC))[1], count(*), " +
        Utc("max(started_at)") + " FROM device_records WHERE result = 'failed' AND " + where +
        " GROUP BY message_id, CASE WHEN message_id IS NULL THEN message END "
        "ORDER BY count(*) DESC, 2 LIMIT 200";
    const PgResult rows = db.Exec(sql, values);
    json list = json::array();
    for (int row = 0; row < rows.Rows(); ++row) {
        list.push_back(
            {{"message_id", rows.IsNull(row, 0) ? json(nullptr) : json(rows.Text(row, 0))},
             {"message", rows.Text(row, 1)},
             {"count", std::stoll(rows.Text(row, 2))},
             {"last_at", rows.Text(row, 3)}});
    }
    return {{"since", span.since}, {"until", span.until}, {"failures", list}};
}

std::string ListCsv(const json& list, const std::vector<std::string>& columns) {
    std::string csv = common::CsvRecord(columns);
    for (const json& row : list) {
        std::vector<std::string> fields;
        for (const std::string& column : columns) {
            const json& value = row.contains(column) ? row[column] : json(nullptr);
            if (value.is_null()) {
                fields.emplace_back();
            } else if (value.is_string()) {
                fields.push_back(value.get<std::string>());
            } else {
                fields.push_back(value.dump());
            }
        }
        csv += common::CsvRecord(fields);
    }
    return csv;
}

}  // namespace line
