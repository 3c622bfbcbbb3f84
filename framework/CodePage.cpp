#include "framework/CodePage.h"

#include <algorithm>

#include "framework/CodePageCalls.h"

namespace fw {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

namespace codepage {

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

}  // namespace codepage

const char* CodePageName(Language language) {
    return language == Language::Chinese ? "GB18030" : "CP1252";
}

std::string DecodeCodePage(std::string_view bytes, Language language) {
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    return codepage::Decode(bytes, language, nullptr);
}

std::string DecodeCodePagePrefix(std::string_view bytes, Language language,
                                 std::size_t* incompleteTail) {
    *incompleteTail = 0;
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    return codepage::Decode(bytes, language, incompleteTail);
}

std::string EncodeCodePage(std::string_view utf8, Language language) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    return codepage::Encode(utf8, language);
}

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
