// The conversions each system makes its own way, under the code page calls;
// the ASCII shortcut is taken before them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "framework/Language.h"

namespace fw::codepage {

inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Length of the UTF-8 sequence that starts with this byte (1 for a stray byte).
std::size_t Utf8SequenceLength(unsigned char lead);

// The device's bytes as UTF-8, each byte the code page rejects one U+FFFD.
// With incompleteTail, a character cut off at the end is left out and its
// length told there.
std::string Decode(std::string_view bytes, Language language, std::size_t* incompleteTail);

// UTF-8 in the code page, '?' for each character it lacks.
std::string Encode(std::string_view utf8, Language language);

}  // namespace fw::codepage
