// Device text is bytes in the system's ANSI code page. It is stored, compared,
// written to files and sent back as those bytes; only what is shown on screen
// or typed by the operator goes through these conversions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/Language.h"

namespace fw {

// POSIX stands in for the ANSI code page with GB18030 for Chinese and
// Windows-1252 otherwise, which is what such a system would use.
const char* CodePageName(Language language);

// Bytes to UTF-8. Bytes that do not decode become U+FFFD; nothing fails.
std::string DecodeCodePage(std::string_view bytes, Language language);
// UTF-8 to bytes. Characters the code page lacks become '?', as the Windows
// conversion does with its default character.
std::string EncodeCodePage(std::string_view utf8, Language language);

// For text that arrives in pieces: decodes what is complete and reports how
// many bytes at the end start a character that is not complete yet (they are
// left out of the result, to be decoded with the next piece).
std::string DecodeCodePagePrefix(std::string_view bytes, Language language,
                                 std::size_t* incompleteTail);

// Where the last character of the text starts, so that "delete the last
// character" removes a whole double-byte character, not half of one.
std::size_t LastCharacterStart(std::string_view bytes, Language language);

// For a text kept only in part, read forward from a cut: a place that
// LastCharacterStart, on any longer text, never reaches back across (the start
// of the text, and every place the walk below calls one). Says where the text
// may be cut next, and how many deletions of the last character would take it
// back from here to where the walk began.
class CharacterWalk {
public:
    explicit CharacterWalk(Language language) : chinese_(language == Language::Chinese) {}

    void Add(unsigned char byte);
    bool AtCut() const { return pending_ == 0; }
    std::uint64_t Characters() const { return characters_; }

private:
    bool chinese_;
    int pending_ = 0;      // bytes the current character still takes
    bool second_ = false;  // the next byte is a double-byte character's second
    std::uint64_t characters_ = 0;
};

// The same, in the current user-interface language.
inline std::string DecodeAnsi(std::string_view bytes) {
    return DecodeCodePage(bytes, CurrentLanguage());
}
inline std::string EncodeAnsi(std::string_view utf8) {
    return EncodeCodePage(utf8, CurrentLanguage());
}
// Whether the text survives the code page unchanged: no character of it
// would turn into '?' (or a look-alike) on the way to the device.
inline bool CanEncodeAnsi(std::string_view utf8) {
    return DecodeAnsi(EncodeAnsi(utf8)) == utf8;
}

}  // namespace fw
