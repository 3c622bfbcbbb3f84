#include "framework/Language.h"

#include <atomic>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

#include "common/AsciiText.h"

namespace fw {
namespace {

std::atomic<int>& LanguageSlot() {
    static std::atomic<int> slot{static_cast<int>(LanguageFromEnvironment())};
    return slot;
}

}  // namespace

Language LanguageFromEnvironment() {
#ifdef _WIN32
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese
                                                                     : Language::English;
#else
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return StartsWithNoCase(value, "zh") ? Language::Chinese : Language::English;
        }
    }
    return Language::English;
#endif
}

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
