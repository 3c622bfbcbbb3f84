// What the dashboard and the API ask of the line's server, each a query with
// bound values only, answered as the JSON the API gives (field names are
// the tables' column names).
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "records/PgConnection.h"

namespace line {

struct RecordsFilter {
    std::string imei;   // as typed: the device's bytes
    std::string since;  // UTC, the records' form; inclusive
    std::string until;  // exclusive
    std::string result;
    std::string station;
    std::string messageId;
    std::string message;
    int limit = 100;
    // Where the page before ended: the last record's started_at (to the
    // microsecond) and id.
    std::string afterTime;
    std::string afterId;
};

// The cursor a page ends at, and back; nullopt for a text this server did not make.
std::string EncodeCursor(const std::string& time, const std::string& id);
std::optional<std::pair<std::string, std::string>> DecodeCursor(const std::string& cursor);

// {"records": [...], "next_cursor": ...}, newest first.
nlohmann::json RecordsPage(records::PgConnection& db, const RecordsFilter& filter);
// One record with its "items"; null for none.
nlohmann::json RecordWithItems(records::PgConnection& db, const std::string& id);

// Every station with its ports and whether it has been heard from lately;
// only the one named when station is given (null when there is none).
nlohmann::json Stations(records::PgConnection& db);
nlohmann::json OneStation(records::PgConnection& db, const std::string& station);

struct Span {
    std::string since;  // UTC, the records' form
    std::string until;
    std::string station;  // empty: all
};

// Counts and first-pass yield over the span, and by hour and/or station.
nlohmann::json Yield(records::PgConnection& db, const Span& span, bool byHour, bool byStation);
// Failed records by message, largest first.
nlohmann::json Failures(records::PgConnection& db, const Span& span);

// A list of objects as CSV: a header of the keys of the first, then a line
// for each (nested values left out).
std::string ListCsv(const nlohmann::json& list, const std::vector<std::string>& columns);

// The columns of a record as the API gives it, in order.
const std::vector<std::string>& RecordColumns();

}  // namespace line
