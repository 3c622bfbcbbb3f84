// Values that hold the protocol's own words, for tools that look for "OK",
// "ERROR" or "NEED PWD" anywhere in an answer instead of on a line of its own.
#pragma once

#include "ParameterTable.h"

namespace kavrelsim {

struct ProtocolWord {
    int item;
    const char* value;
};

// Items whose built-in rule is plain text; a line of the listing ends in "OK"
// for two of them.
inline constexpr ProtocolWord kProtocolWords[] = {
    {3, "NEED PWD"},
    {12, "OK"},
    {14, "LINK OK"},
    {39, "NO ERROR LOG"},
};

// Makes the words both the value and the factory value of their items, so
// that AT+RESTORE brings them back. Throws std::runtime_error when the table
// lacks one of the items or its rule refuses the word.
void PutProtocolWords(ParameterTable& table);

}  // namespace kavrelsim
