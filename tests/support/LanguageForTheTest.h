// A window is built from the English templates whatever the environment says;
// the language the process had comes back when the test ends.
#pragma once

#include "framework/Language.h"

namespace testsupport {

struct EnglishForTheTest {
    EnglishForTheTest() : saved(fw::CurrentLanguage()) { fw::SetLanguage(fw::Language::English); }
    ~EnglishForTheTest() { fw::SetLanguage(saved); }
    fw::Language saved;
};

}  // namespace testsupport
