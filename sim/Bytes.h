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

// Hands each line of a text file to each(line, number), numbered from 1,
// without its "\n" or "\r\n" ending.
template <class Each>
void ForEachLine(std::string_view text, Each each) {
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        each(line, number);
    }
}

}  // namespace kavrelsim
