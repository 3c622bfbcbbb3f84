#include "framework/StringTable.h"

#include <algorithm>

#include "framework/CodePage.h"
#include "res/Strings.h"

namespace fw {
namespace {

const res::StringResource* Find(UINT id) {
    auto table = res::StringTable();
    auto it = std::lower_bound(table.begin(), table.end(), id,
                               [](const res::StringResource& s, UINT key) { return s.id < key; });
    return (it != table.end() && it->id == id) ? &*it : nullptr;
}

}  // namespace

bool HasString(UINT id) {
    return Find(id) != nullptr;
}

std::string LoadString(UINT id, Language language) {
    const res::StringResource* s = Find(id);
    if (s == nullptr) {
        return {};
    }
    const char* text = language == Language::Chinese ? s->chinese : s->english;
    return text != nullptr ? text : std::string();
}

std::string LoadStringAnsi(UINT id) {
    return EncodeAnsi(LoadString(id));
}

std::string FormatWithNumber(const std::string& format, int number) {
    std::string out = format;
    auto at = out.find("%d");
    if (at != std::string::npos) {
        out.replace(at, 2, std::to_string(number));
    }
    return out;
}

std::string FormatMessageText(const std::string& text, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(text[i + 1] - '1');
            if (index < args.size()) {
                out += args[index];
            }
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string TrimLineEnds(std::string text) {
    const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    std::size_t begin = 0;
    while (begin < text.size() && isLineEnd(text[begin])) {
        ++begin;
    }
    std::size_t end = text.size();
    while (end > begin && isLineEnd(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string LoadText(UINT id, const std::vector<std::string>& args) {
    return TrimLineEnds(FormatMessageText(LoadString(id), args));
}

}  // namespace fw
