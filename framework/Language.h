// The user-interface language, chosen once at start-up the way Windows picks
// resources from the system locale, and overridable (tirvelctl --lang).
#pragma once

#include <optional>
#include <string_view>

#include "common/LanguageId.h"

namespace fw {

// POSIX: the first of LC_ALL, LC_MESSAGES, LANG that is set and not empty; a
// value starting with "zh" means Chinese, anything else English. Whether the
// locale is generated on the machine does not matter.
Language LanguageFromEnvironment();
// Parses "en"/"zh" (also "english", "chinese", "zh_CN.UTF-8", ...).
std::optional<Language> ParseLanguage(std::string_view text);

Language CurrentLanguage();
void SetLanguage(Language language);

}  // namespace fw
