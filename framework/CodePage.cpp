#include "framework/CodePage.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace fw {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Length of the UTF-8 sequence that starts with this byte (1 for a stray byte).
std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    if (lead >= 0xC2) {
        return 2;
    }
    return 1;
}

#ifndef _WIN32
// Converts as much as iconv accepts; on a sequence it rejects, onInvalid says how
// many input bytes to skip and what to emit instead.
template <typename OnInvalid>
std::string Convert(const char* to, const char* from, std::string_view input, OnInvalid onInvalid,
                    std::size_t* incompleteTail = nullptr) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(input);  // no converter: show the bytes as they are rather than nothing
    }
    std::string out;
    out.reserve(input.size() * 2);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t r = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (r == static_cast<std::size_t>(-1) && errno == EINVAL && incompleteTail != nullptr) {
            *incompleteTail = inLeft;  // the start of a character still on its way
            break;
        }
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL (a truncated sequence at the end): replace and go on.
            std::size_t skip = std::min(inLeft, onInvalid(in, inLeft, out));
            in += skip;
            inLeft -= skip;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush any shift state.
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
    ::iconv_close(cd);
    return out;
}
#endif

}  // namespace

const char* CodePageName(Language language) {
    return language == Language::Chinese ? "GB18030" : "CP1252";
}

#ifdef _WIN32

namespace {

// The same code pages as elsewhere: GB18030 (54936) and Windows-1252, never the
// system's ANSI code page, which depends on the machine the tool runs on. A
// system without GB18030 (Wine) gets GBK, its two-byte part: the device's
// Chinese text is in it, and four-byte forms then show as U+FFFD.
UINT WindowsCodePage(Language language) {
    if (language != Language::Chinese) {
        return 1252;
    }
    static const UINT chinese = IsValidCodePage(54936) ? 54936 : 936;
    return chinese;
}

// Windows maps the five bytes Windows-1252 leaves undefined to control
// characters; they are no text, as on the other systems.
bool UndefinedIn1252(unsigned char byte) {
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

void AppendUtf8(const wchar_t* wide, int count, std::string& out) {
    char buffer[16];
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide, count, buffer, sizeof buffer, nullptr, nullptr);
    out.append(buffer, static_cast<std::size_t>(std::max(n, 0)));
}

// Length of the GB18030 character starting at bytes[at] by its shape: 1, 2 or
// 4; 0 when the bytes end before a character that could still be whole.
std::size_t Gb18030Length(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x81 || lead > 0xFE) {
        return 1;
    }
    if (at + 1 >= bytes.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if (second < 0x30 || second > 0x39) {
        return 2;
    }
    if (at + 4 <= bytes.size()) {
        return 4;
    }
    const bool thirdFits =
        at + 2 >= bytes.size() || (static_cast<unsigned char>(bytes[at + 2]) >= 0x81 &&
                                   static_cast<unsigned char>(bytes[at + 2]) <= 0xFE);
    return thirdFits ? 0 : 4;
}

// Character by character, so that a byte the code page rejects becomes one
// U+FFFD and the text after it still decodes, as iconv does elsewhere.
std::string Decode(std::string_view bytes, Language language, std::size_t* incompleteTail) {
    const UINT codePage = WindowsCodePage(language);
    std::string out;
    out.reserve(bytes.size() * 2);
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++at;
            continue;
        }
        std::size_t length = codePage == 1252 ? 1 : Gb18030Length(bytes, at);
        if (length == 4 && codePage == 936) {
            length = 1;  // GBK has no four-byte forms: fails below, byte by byte
        }
        if (length == 0) {
            if (incompleteTail != nullptr) {
                *incompleteTail = bytes.size() - at;  // the start of a character still on its way
                break;
            }
            length = bytes.size() - at;  // cut short for good: fails below
        }
        wchar_t wide[2];
        const int count =
            at + length <= bytes.size() && !(codePage == 1252 && UndefinedIn1252(lead))
                ? MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data() + at,
                                      static_cast<int>(length), wide, 2)
                : 0;
        if (count <= 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        AppendUtf8(wide, count, out);
        at += length;
    }
    return out;
}

}  // namespace

std::string DecodeCodePage(std::string_view bytes, Language language) {
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    return Decode(bytes, language, nullptr);
}

std::string DecodeCodePagePrefix(std::string_view bytes, Language language,
                                 std::size_t* incompleteTail) {
    *incompleteTail = 0;
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    return Decode(bytes, language, incompleteTail);
}

std::string EncodeCodePage(std::string_view utf8, Language language) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    const UINT codePage = WindowsCodePage(language);
    std::string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++at;
            continue;
        }
        const std::size_t length = std::min(Utf8SequenceLength(lead), utf8.size() - at);
        wchar_t wide[2];
        const int count = length > 1
                              ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data() + at,
                                                    static_cast<int>(length), wide, 2)
                              : 0;
        char buffer[8];
        BOOL usedDefault = FALSE;
        // GB18030 has every character; the others must not "best fit" one they
        // lack into a look-alike the operator never typed.
        const int written = count <= 0 ? 0
                            : codePage == 54936
                                ? WideCharToMultiByte(codePage, 0, wide, count, buffer,
                                                      sizeof buffer, nullptr, nullptr)
                                : WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, count,
                                                      buffer, sizeof buffer, nullptr, &usedDefault);
        if (written <= 0 || usedDefault) {
            out += '?';
        } else {
            out.append(buffer, static_cast<std::size_t>(written));
        }
        at += length;
    }
    return out;
}

#else

std::string DecodeCodePage(std::string_view bytes, Language language) {
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    return Convert("UTF-8", CodePageName(language), bytes,
                   [](const char*, std::size_t, std::string& out) {
                       out += kReplacement;
                       return std::size_t{1};
                   });
}

std::string DecodeCodePagePrefix(std::string_view bytes, Language language,
                                 std::size_t* incompleteTail) {
    *incompleteTail = 0;
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    return Convert(
        "UTF-8", CodePageName(language), bytes,
        [](const char*, std::size_t, std::string& out) {
            out += kReplacement;
            return std::size_t{1};
        },
        incompleteTail);
}

std::string EncodeCodePage(std::string_view utf8, Language language) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    return Convert(CodePageName(language), "UTF-8", utf8,
                   [](const char* at, std::size_t, std::string& out) {
                       out += '?';
                       return Utf8SequenceLength(static_cast<unsigned char>(*at));
                   });
}

#endif

void CharacterWalk::Add(unsigned char byte) {
    if (!chinese_) {
        ++characters_;
        return;
    }
    // LastCharacterStart parses forward from the byte after the last one
    // below 0x30, so such a byte is a cut for what follows. It ends the
    // character it falls into (that deletion takes it along) or is one itself.
    if (byte < 0x30) {
        characters_ += pending_ == 0 ? 1 : 0;
        pending_ = 0;
        second_ = false;
        return;
    }
    if (pending_ > 0) {
        // The second byte tells a four-byte character from a two-byte one;
        // the others are taken whatever they are.
        pending_ = second_ && byte <= 0x39 ? 2 : pending_ - 1;
        second_ = false;
        return;
    }
    ++characters_;
    if (byte >= 0x81 && byte <= 0xFE) {
        pending_ = 1;
        second_ = true;
    }
}

std::size_t LastCharacterStart(std::string_view bytes, Language language) {
    if (bytes.empty()) {
        return 0;
    }
    if (language != Language::Chinese) {
        return bytes.size() - 1;
    }
    // GB18030 trail bytes are never below 0x30, so a byte below 0x30 ends a
    // character: walk forward from the last such byte before the end.
    std::size_t pos = bytes.size() - 1;
    while (pos > 0 && static_cast<unsigned char>(bytes[pos - 1]) >= 0x30) {
        --pos;
    }
    std::size_t last = pos;
    while (pos < bytes.size()) {
        last = pos;
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        std::size_t length = 1;
        if (lead >= 0x81 && lead <= 0xFE && pos + 1 < bytes.size()) {
            const auto second = static_cast<unsigned char>(bytes[pos + 1]);
            length = (second >= 0x30 && second <= 0x39) ? 4 : 2;
        }
        pos += length;
    }
    return last;
}

}  // namespace fw
