#include "records/ServerSchema.h"

#include <string>

#include "records/RecordStore.h"

namespace records::server {

namespace {

// The names are those the MES queries: they stay. Each statement apart: not
// every client library takes several in one.
const std::vector<std::vector<const char*>> kMigrations = {
    {
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
               code_page text))",
        "CREATE INDEX device_records_imei_started ON device_records (imei, started_at DESC)",
        "CREATE INDEX device_records_started ON device_records (started_at DESC)",
        R"(CREATE TABLE record_items (
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
               PRIMARY KEY (record_id, seq)))",
    },
};

}  // namespace

int KnownVersion() {
    return static_cast<int>(kMigrations.size());
}

const std::vector<const char*>& Migration(int version) {
    return kMigrations.at(static_cast<std::size_t>(version - 1));
}

void CheckKnown(int serverVersion) {
    if (serverVersion > KnownVersion()) {
        throw StoreError(StoreError::Kind::Newer,
                         "the server's records schema is version " + std::to_string(serverVersion) +
                             ", this program knows up to " + std::to_string(KnownVersion()));
    }
}

}  // namespace records::server
