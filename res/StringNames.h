// The string table's IDs by their names in the source ("IDS_CLI_VALUES_DIFFER"):
// a record names the message it kept this way, a name that stays when the
// words change and that an MES can group by.
#pragma once

#include "common/Win.h"

namespace res {

// nullptr for an ID that names no string.
const char* StringName(fw::UINT id);

}  // namespace res
