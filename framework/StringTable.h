// The string table: every user-visible text by resource ID, in English and
// Simplified Chinese, as UTF-8.
#pragma once

#include <string>
#include <vector>

#include "common/Win.h"
#include "framework/Language.h"

namespace fw {

bool HasString(UINT id);
// Empty when the table has no such string.
std::string LoadString(UINT id, Language language);
inline std::string LoadString(UINT id) {
    return LoadString(id, CurrentLanguage());
}
// The string as device-text bytes in the current code page, for strings that
// become part of the item table (row labels) and are therefore exported and
// compared as bytes.
std::string LoadStringAnsi(UINT id);

// Replaces the first "%d" of a format string with the number, the way the
// system's formats ("Item%d", "%d. %s") are used; other text stays as it is.
std::string FormatWithNumber(const std::string& format, int number);

// Replaces "%1" ... "%9" with the arguments, as message texts with inserts do.
std::string FormatMessageText(const std::string& text, const std::vector<std::string>& args);

// CR and LF at either end go; inner line breaks stay.
std::string TrimLineEnds(std::string text);

// The string by ID with its inserts, as one line of a console or a tile.
std::string LoadText(UINT id, const std::vector<std::string>& args = {});

}  // namespace fw
