// Byte strings as people and JSON consumers read them. Everything that crosses
// the wire is bytes (GB18030 names, arbitrary values), and JSON strings must be
// UTF-8, so the event log never embeds raw bytes.
#pragma once

#include <string>
#include <string_view>

namespace kavrelsim {

// "41542B" style, upper case, no separators.
std::string Hex(std::string_view bytes);

// Printable ASCII as is; \r \n \t and backslash escaped C-style; every other
// byte as \xHH. The result is pure ASCII.
std::string Readable(std::string_view bytes);

}  // namespace kavrelsim
