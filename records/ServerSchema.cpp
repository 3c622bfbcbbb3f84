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
