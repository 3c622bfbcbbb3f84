// The configuration file: an INI-style "[CFG]" section with one "label=value"
// line per item, as the desktop's profile writer leaves it, read back the way a
// text-mode stream hands out lines. Keys and values are device bytes and are
// never converted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cfgfile {

struct ConfigEntry {
    std::string key;    // the item's label, "N. name"
    std::string value;  // its current value
};

// The bytes the profile writer produces for these entries written one after
// another into an emptied file: nothing at all when there are none, else
// "[CFG]\r\n" and one "key=value\r\n" per entry.
std::string FormatConfigFile(const std::vector<ConfigEntry>& entries);

// The file's lines as a text-mode read gives them: CR LF ends a line, a lone LF
// too, a lone CR is text. Every other byte (NUL, 0x1A, bytes >= 0x80) is kept,
// lines have no length limit and a last line without a line end still counts.
// The views point into the bytes given.
std::vector<std::string_view> SplitTextLines(std::string_view bytes);

// One "key=value" line of a profile: the key runs to the first '=', the value
// is all after it. Views into the bytes given.
struct ProfileLine {
    std::string_view key;
    std::string_view value;
};

// The profile's key lines in the file's order, a key as often as it is given;
// lines without '=' (the section header, stray text) are none.
std::vector<ProfileLine> ParseProfile(std::string_view bytes);

}  // namespace cfgfile
