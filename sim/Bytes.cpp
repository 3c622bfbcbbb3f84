#include "Bytes.h"

namespace kavrelsim {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, unsigned char c) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
}

}  // namespace

std::string Hex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        AppendHexByte(out, static_cast<unsigned char>(ch));
    }
    return out;
}

std::string Readable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    // The bytes escaped by a letter, and their letters.
    static constexpr std::string_view kBytes = "\r\n\t\\";
    static constexpr std::string_view kLetters = "rnt\\";
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (const auto at = kBytes.find(ch); at != std::string_view::npos) {
            out += '\\';
            out += kLetters[at];
        } else if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            out += "\\x";
            AppendHexByte(out, c);
        }
    }
    return out;
}

}  // namespace kavrelsim
