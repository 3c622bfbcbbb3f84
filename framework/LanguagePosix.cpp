#include <cstdlib>

#include "common/AsciiText.h"
#include "framework/Language.h"

namespace fw {

Language LanguageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return StartsWithNoCase(value, "zh") ? Language::Chinese : Language::English;
        }
    }
    return Language::English;
}

}  // namespace fw
