#include <windows.h>

#include "framework/Language.h"

namespace fw {

Language LanguageFromEnvironment() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese
                                                                     : Language::English;
}

}  // namespace fw
