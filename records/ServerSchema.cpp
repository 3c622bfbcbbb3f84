#include "records/ServerSchema.h"

#include <algorithm>
#include <string>

#include "records/RecordStore.h"

namespace records::server {

namespace {

// What each schema version brings besides the tables' columns (which
// RecordSchema adds), in order; a version with nothing more needs no entry.
// Each statement apart: not every client library takes several in one.
const std::vector<std::vector<const char*>> kMigrations = {
    {
        "CREATE INDEX device_records_imei_started ON device_records (imei, started_at DESC)",
        "CREATE INDEX device_records_started ON device_records (started_at DESC)",
    },
};

}  // namespace

int KnownVersion() {
    return std::max(static_cast<int>(kMigrations.size()), schema::LatestVersion());
}

std::string_view ServerDdl::SqlType(schema::Type type) {
    switch (type) {
        case schema::Type::Id:
            return "uuid";
        case schema::Type::Time:
            return "timestamptz";
        case schema::Type::Text:
            return "text";
        case schema::Type::Bytes:
            return "bytea";
        case schema::Type::Integer:
            return "integer";
        case schema::Type::BigInt:
            return "bigint";
        case schema::Type::Flag:
            return "boolean";
    }
    return "text";
}

std::string_view ParamType(schema::Type type) {
    return type == schema::Type::Text ? std::string_view() : ServerDdl::SqlType(type);
}

std::vector<std::string> Migration(int version) {
    std::vector<std::string> steps = schema::TableSteps<ServerDdl>(version);
    if (version >= 1 && static_cast<std::size_t>(version) <= kMigrations.size()) {
        for (const char* statement : kMigrations[static_cast<std::size_t>(version - 1)]) {
            steps.emplace_back(statement);
        }
    }
    return steps;
}

void CheckKnown(int serverVersion) {
    if (serverVersion > KnownVersion()) {
        throw StoreError(StoreError::Kind::Newer,
                         "the server's records schema is version " + std::to_string(serverVersion) +
                             ", this program knows up to " + std::to_string(KnownVersion()));
    }
}

}  // namespace records::server
