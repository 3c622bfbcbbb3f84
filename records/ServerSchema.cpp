#include "records/ServerSchema.h"

#include <string>

#include "records/RecordStore.h"

namespace records::server {

namespace {

const schema::StoreSteps kMigrations = {
    {
        "CREATE INDEX device_records_imei_started ON device_records (imei, started_at DESC)",
        "CREATE INDEX device_records_started ON device_records (started_at DESC)",
    },
    // 2: the items' source column alone.
    {},
    // 3: the value pools (PoolStore.h), the same tables as in a station's file.
    {
        R"sql(CREATE TABLE value_pools (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name text NOT NULL UNIQUE,
    imported_at timestamptz NOT NULL DEFAULT now()
))sql",
        R"sql(CREATE TABLE value_pool_columns (
    pool_id bigint NOT NULL REFERENCES value_pools (id),
    col integer NOT NULL,
    item text NOT NULL,
    PRIMARY KEY (pool_id, col)
))sql",
        R"sql(CREATE TABLE value_pool_rows (
    pool_id bigint NOT NULL REFERENCES value_pools (id),
    row_no bigint NOT NULL,
    line integer NOT NULL,
    state text NOT NULL DEFAULT 'free' CHECK (state IN ('free', 'reserved', 'tied', 'written')),
    imei bytea,
    station text,
    tied_at timestamptz,
    written_at timestamptz,
    PRIMARY KEY (pool_id, row_no),
    CHECK ((state IN ('free', 'reserved')) = (imei IS NULL))
))sql",
        R"sql(CREATE TABLE value_pool_cells (
    pool_id bigint NOT NULL,
    row_no bigint NOT NULL,
    col integer NOT NULL,
    value bytea NOT NULL,
    PRIMARY KEY (pool_id, row_no, col),
    FOREIGN KEY (pool_id, row_no) REFERENCES value_pool_rows (pool_id, row_no)
))sql",
        // Drawing looks only at the free rows: as fast at the last row as at the first.
        "CREATE INDEX value_pool_rows_free ON value_pool_rows (pool_id, row_no) "
        "WHERE state = 'free'",
        "CREATE UNIQUE INDEX value_pool_rows_imei ON value_pool_rows (imei, pool_id) "
        "WHERE imei IS NOT NULL",
    },
    // 4: the stations' live state (docs/line.md), the latest of each only:
    // a station's file has no use for it.
    {
        R"sql(CREATE TABLE line_stations (
    station text PRIMARY KEY,
    job text NOT NULL,
    file_name text NOT NULL,
    file_sha256 text NOT NULL,
    done integer NOT NULL,
    failed integer NOT NULL,
    count integer NOT NULL,
    devices_per_hour double precision,
    phase text NOT NULL CHECK (phase IN ('running', 'finishing', 'aborting', 'ended')),
    started_at timestamptz NOT NULL,
    changed_at timestamptz NOT NULL,
    heartbeat_at timestamptz NOT NULL,
    ports integer NOT NULL
))sql",
        R"sql(CREATE TABLE line_station_ports (
    station text NOT NULL REFERENCES line_stations (station) ON DELETE CASCADE,
    port_no integer NOT NULL,
    label text NOT NULL,
    phase text NOT NULL CHECK (phase IN ('idle', 'working', 'ok', 'failed', 'cancelled',
                                         'out_of_use', 'finished')),
    state_text text NOT NULL,
    imei_text text NOT NULL,
    permille integer NOT NULL,
    ok integer NOT NULL,
    failed integer NOT NULL,
    last_verdict text NOT NULL,
    last_ok boolean NOT NULL,
    values_source text NOT NULL,
    PRIMARY KEY (station, port_no)
))sql",
        // What the line's dashboard and its MES ask of the records besides a
        // device's history: a station's records, and the failures of a span.
        "CREATE INDEX device_records_station_started ON device_records (station, started_at DESC)",
        "CREATE INDEX device_records_failed_started ON device_records (started_at DESC) "
        "WHERE result = 'failed'",
    },
};

}  // namespace

int KnownVersion() {
    return schema::LatestVersion(kMigrations);
}

std::string_view ServerDdl::SqlType(schema::Type type) {
    // In the order of schema::Type.
    static constexpr std::string_view kNames[] = {"uuid",    "timestamptz", "text",   "bytea",
                                                  "integer", "bigint",      "boolean"};
    return kNames[static_cast<std::size_t>(type)];
}

std::string_view ParamType(schema::Type type) {
    return type == schema::Type::Text ? std::string_view() : ServerDdl::SqlType(type);
}

std::vector<std::string> Migration(int version) {
    return schema::Migration<ServerDdl>(version, kMigrations);
}

void CheckKnown(int serverVersion) {
    if (serverVersion > KnownVersion()) {
        throw StoreError(StoreError::Kind::Newer,
                         "the server's records schema is version " + std::to_string(serverVersion) +
                             ", this program knows up to " + std::to_string(KnownVersion()));
    }
}

}  // namespace records::server
