#include <windows.h>

#include <algorithm>

#include "framework/CodePage.h"
#include "framework/CodePageCalls.h"

namespace fw::codepage {
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

// Character by character: ASCII as it is; at any other byte, convert(at, out)
// appends what the character there becomes and returns how many bytes it
// took, 0 to stop there.
template <class Convert>
std::string Walk(std::string_view text, std::size_t room, Convert convert) {
    std::string out;
    out.reserve(room);
    std::size_t at = 0;
    while (at < text.size()) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            out += text[at++];
            continue;
        }
        const std::size_t taken = convert(at, out);
        if (taken == 0) {
            break;
        }
        at += taken;
    }
    return out;
}

}  // namespace

// A byte the code page rejects becomes one U+FFFD and the text after it still
// decodes, as iconv does elsewhere.
std::string Decode(std::string_view bytes, Language language, std::size_t* incompleteTail) {
    const UINT codePage = WindowsCodePage(language);
    return Walk(bytes, bytes.size() * 2, [&](std::size_t at, std::string& out) -> std::size_t {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        std::size_t length = codePage == 1252 ? 1 : Gb18030Length(bytes, at);
        if (length == 4 && codePage == 936) {
            length = 1;  // GBK has no four-byte forms: fails below, byte by byte
        }
        if (length == 0) {
            if (incompleteTail != nullptr) {
                *incompleteTail = bytes.size() - at;  // the start of a character still on its way
                return 0;
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
            return 1;
        }
        AppendUtf8(wide, count, out);
        return length;
    });
}

std::string Encode(std::string_view utf8, Language language) {
    const UINT codePage = WindowsCodePage(language);
    return Walk(utf8, utf8.size(), [&](std::size_t at, std::string& out) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
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
        return length;
    });
}

}  // namespace fw::codepage
