// The two values a record is born with: its key and its time.
#pragma once

#include <string>

namespace records {

// A random (version 4) UUID in its usual text form. Made on each station with
// no coordination, so it must not repeat across a line's stations.
std::string NewRecordId();

// Now in UTC as the records keep times: "2026-12-09T10:11:12.345Z". Text of
// this one form sorts as the times do.
std::string UtcNow();

}  // namespace records
