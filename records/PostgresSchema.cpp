#include "records/PostgresSchema.h"

#include <string>

#include "records/PgConnection.h"
#include "records/RecordStore.h"

namespace records {

namespace {

// Any number, as long as it is this one on every station: the key of the
// lock all of them take to migrate.
constexpr const char* kMigrationLock = "7305172209";

// The names are those the MES queries: they stay.
const char* const kMigrations[] = {
    R"(CREATE TABLE device_records (
           id uuid PRIMARY KEY,
           started_at timestamptz NOT NULL,
           finished_at timestamptz NOT NULL,
           station text NOT NULL,
           operator text NOT NULL,
           port text NOT NULL,
           command text NOT NULL,
           imei bytea,
           imei_text text,
           version bytea,
           version_text text,
           result text NOT NULL CHECK (result IN ('ok', 'failed', 'interrupted')),
           message text,
           message_id text,
           profile_name text,
           profile_sha256 text,
           firmware_name text,
           firmware_sha256 text,
           firmware_bytes bigint,
           tool_version text,
           code_page text);
       CREATE INDEX device_records_imei_started ON device_records (imei, started_at DESC);
       CREATE INDEX device_records_started ON device_records (started_at DESC);
       CREATE TABLE record_items (
           record_id uuid NOT NULL REFERENCES device_records (id),
           seq integer NOT NULL,
           number integer,
           name bytea,
           before bytea,
           wanted bytea,
           after bytea,
           written boolean NOT NULL,
           name_text text,
           before_text text,
           wanted_text text,
           after_text text,
           PRIMARY KEY (record_id, seq));)",
};
constexpr int kKnownVersion = static_cast<int>(std::size(kMigrations));

}  // namespace

void MigratePostgres(PgConnection& connection) {
    PgTransaction transaction(connection);
    PgParams lock;
    lock.Text(kMigrationLock);
    connection.Exec("SELECT pg_advisory_xact_lock($1::bigint)", lock);
    connection.Exec(
        "CREATE TABLE IF NOT EXISTS schema_migrations ("
        "version integer PRIMARY KEY, applied_at timestamptz)");
    const PgResult current =
        connection.Exec("SELECT coalesce(max(version), 0) FROM schema_migrations");
    const int version = std::stoi(current.Text(0, 0));
    if (version > kKnownVersion) {
        throw StoreError(StoreError::Kind::Newer,
                         "the server's records schema is version " + std::to_string(version) +
                             ", this program knows up to " + std::to_string(kKnownVersion));
    }
    for (int next = version + 1; next <= kKnownVersion; ++next) {
        // Several statements in one: the simple protocol, without values.
        connection.ExecScript(kMigrations[next - 1]);
        PgParams applied;
        applied.Text(std::to_string(next));
        connection.Exec("INSERT INTO schema_migrations VALUES ($1::integer, now())", applied);
    }
    transaction.Commit();
}

}  // namespace records
