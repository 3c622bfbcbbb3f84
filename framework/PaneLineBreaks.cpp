#include "framework/PaneLineBreaks.h"

namespace fw {

std::string ToLineBreaks(std::string_view utf8, char lineBreak, bool continuesCr,
                         bool* endsWithCr) {
    std::string out;
    out.reserve(utf8.size());
    bool afterCr = continuesCr;
    for (char ch : utf8) {
        if (ch == '\r') {
            out += lineBreak;
            afterCr = true;
            continue;
        }
        if (ch == '\n') {
            if (!afterCr) {
                out += lineBreak;
            }
            afterCr = false;
            continue;
        }
        out += ch;
        afterCr = false;
    }
    *endsWithCr = afterCr;
    return out;
}

std::string CPaneLineBreaks::Replace(int id, std::string_view utf8) {
    return ToLineBreaks(utf8, lineBreak_, false, &endsWithCr_[id]);
}

std::string CPaneLineBreaks::Append(int id, std::string_view utf8) {
    bool& endsWithCr = endsWithCr_[id];
    return ToLineBreaks(utf8, lineBreak_, endsWithCr, &endsWithCr);
}

}  // namespace fw
