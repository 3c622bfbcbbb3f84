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
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += static_cast<char>(c);
                } else {
                    out += "\\x";
                    AppendHexByte(out, c);
                }
        }
    }
    return out;
}

}  // namespace kavrelsim
