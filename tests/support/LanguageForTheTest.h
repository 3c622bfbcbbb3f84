// The language one test runs in, whatever the environment says; the language
// the process had comes back when the test ends.
#pragma once

#include "framework/Language.h"

namespace testsupport {

class LanguageForTheTest {
public:
    explicit LanguageForTheTest(fw::Language language) : saved_(fw::CurrentLanguage()) {
        fw::SetLanguage(language);
    }
    ~LanguageForTheTest() { fw::SetLanguage(saved_); }
    LanguageForTheTest(const LanguageForTheTest&) = delete;
    LanguageForTheTest& operator=(const LanguageForTheTest&) = delete;

private:
    fw::Language saved_;
};

// A window is built from the English templates.
struct EnglishForTheTest : LanguageForTheTest {
    EnglishForTheTest() : LanguageForTheTest(fw::Language::English) {}
};

}  // namespace testsupport
