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

std::string DecodeCodePage(std::string_view bytes, Language) {
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    int wide =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), wide);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
    return out;
}

std::string DecodeCodePagePrefix(std::string_view bytes, Language language,
                                 std::size_t* incompleteTail) {
    *incompleteTail = 0;
    return DecodeCodePage(bytes, language);
}

std::string EncodeCodePage(std::string_view utf8, Language) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    int wide =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
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
