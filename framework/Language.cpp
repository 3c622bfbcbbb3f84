#include "framework/Language.h"

#include <atomic>

#include "common/AsciiText.h"

namespace fw {
namespace {

std::atomic<int>& LanguageSlot() {
    static std::atomic<int> slot{static_cast<int>(LanguageFromEnvironment())};
    return slot;
}

}  // namespace

std::optional<Language> ParseLanguage(std::string_view text) {
    if (StartsWithNoCase(text, "zh") || StartsWithNoCase(text, "chinese")) {
        return Language::Chinese;
    }
    if (StartsWithNoCase(text, "en") || text == "C" || text == "POSIX") {
        return Language::English;
    }
    return std::nullopt;
}

Language CurrentLanguage() {
    return static_cast<Language>(LanguageSlot().load());
}

void SetLanguage(Language language) {
    LanguageSlot().store(static_cast<int>(language));
}

}  // namespace fw
