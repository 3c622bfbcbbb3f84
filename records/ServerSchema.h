// The tables on the line's server and the steps that made them, in order:
// whichever station gets there first brings the server up to date.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/RecordSchema.h"

namespace records::server {

// Any number, as long as it is this one on every station: the key of the
// lock all of them take to migrate.
inline constexpr const char* kMigrationLock = "7305172209";

// The schema version this program writes and reads.
int KnownVersion();
// The statements of one migration (1 … KnownVersion()), one at a time.
std::vector<std::string> Migration(int version);

// The server's words for the tables.
struct ServerDdl {
    static constexpr bool kWithoutRowid = false;
    static std::string_view SqlType(schema::Type type);
};
// The type a value is given where the SQL would not tell it: none for text.
std::string_view ParamType(schema::Type type);
// Throws StoreError (Kind::Newer) for a server a later version set up.
void CheckKnown(int serverVersion);

}  // namespace records::server
