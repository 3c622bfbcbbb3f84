#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "framework/CodePage.h"
#include "framework/CodePageCalls.h"

namespace fw::codepage {
namespace {

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

}  // namespace

std::string Decode(std::string_view bytes, Language language, std::size_t* incompleteTail) {
    return Convert(
        "UTF-8", CodePageName(language), bytes,
        [](const char*, std::size_t, std::string& out) {
            out += kReplacement;
            return std::size_t{1};
        },
        incompleteTail);
}

std::string Encode(std::string_view utf8, Language language) {
    return Convert(CodePageName(language), "UTF-8", utf8,
                   [](const char* at, std::size_t, std::string& out) {
                       out += '?';
                       return Utf8SequenceLength(static_cast<unsigned char>(*at));
                   });
}

}  // namespace fw::codepage
