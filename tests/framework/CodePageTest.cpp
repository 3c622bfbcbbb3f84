#include <gtest/gtest.h>

#include "ProgramStateTest.h"
#include "framework/CodePage.h"
#include "framework/Language.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

using fw::Language;

namespace {

TEST(CodePage, ChineseDeviceTextRoundTripsThroughGb18030) {
    const std::string gb = "\xC4\xA3\xCA\xBD";  // 模式 in GB18030
    EXPECT_EQ(fw::DecodeCodePage(gb, Language::Chinese), "模式");
    EXPECT_EQ(fw::EncodeCodePage("模式", Language::Chinese), gb);
}

TEST(CodePage, FourByteGb18030FormsOutsideGbkRoundTrip) {
#ifdef _WIN32
    if (!IsValidCodePage(54936)) {
        GTEST_SKIP() << "this Windows (Wine) has no GB18030 code page, only GBK";
    }
#endif
    const std::string emoji = fw::EncodeCodePage("😀", Language::Chinese);
    EXPECT_EQ(emoji.size(), 4u);
    EXPECT_EQ(fw::DecodeCodePage(emoji, Language::Chinese), "😀");
}

TEST(CodePage, WesternTextUsesWindows1252) {
    EXPECT_EQ(fw::DecodeCodePage("caf\xE9 \x80", Language::English), "café €");
    EXPECT_EQ(fw::EncodeCodePage("café €", Language::English), "caf\xE9 \x80");
}

TEST(CodePage, UndecodableBytesBecomeReplacementCharacters) {
    // 0x81 is unassigned in Windows-1252; a lone lead byte is incomplete in GB18030.
    EXPECT_EQ(fw::DecodeCodePage("a\x81z", Language::English), "a\xEF\xBF\xBDz");
    EXPECT_EQ(fw::DecodeCodePage("ab\xC4", Language::Chinese), "ab\xEF\xBF\xBD");
    EXPECT_EQ(fw::DecodeCodePage("\xFF\xFF", Language::Chinese).find('\0'), std::string::npos);
}

TEST(CodePage, CharactersTheCodePageLacksBecomeQuestionMarks) {
    EXPECT_EQ(fw::EncodeCodePage("a模b", Language::English), "a?b");
    // Invalid UTF-8 typed in cannot make the conversion fail either.
    EXPECT_EQ(fw::EncodeCodePage("x\xC3", Language::English), "x?");
}

TEST(CodePage, AsciiAndEmptyPassUnchanged) {
    for (auto lang : {Language::English, Language::Chinese}) {
        EXPECT_EQ(fw::DecodeCodePage("", lang), "");
        EXPECT_EQ(fw::DecodeCodePage("AT+SET=1,a b\r\n", lang), "AT+SET=1,a b\r\n");
        EXPECT_EQ(fw::EncodeCodePage("10.0.0.1", lang), "10.0.0.1");
    }
}

// Windows takes the language from the user's settings, not the environment.
#ifndef _WIN32
class LanguageEnvironment : public testsupport::ProgramStateTest {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            SetEnv(name, std::nullopt);
        }
    }
};

TEST_F(LanguageEnvironment, FirstSetVariableDecides) {
    EXPECT_EQ(fw::LanguageFromEnvironment(), Language::English);
    SetEnv("LANG", "zh_CN.UTF-8");
    EXPECT_EQ(fw::LanguageFromEnvironment(), Language::Chinese);
    SetEnv("LC_MESSAGES", "en_US.UTF-8");
    EXPECT_EQ(fw::LanguageFromEnvironment(), Language::English);
    SetEnv("LC_ALL", "zh_TW");
    EXPECT_EQ(fw::LanguageFromEnvironment(), Language::Chinese);
    // An empty variable counts as not set.
    SetEnv("LC_ALL", "");
    EXPECT_EQ(fw::LanguageFromEnvironment(), Language::English);
}
#endif

TEST(Language, ParsesOverrides) {
    EXPECT_EQ(fw::ParseLanguage("zh"), Language::Chinese);
    EXPECT_EQ(fw::ParseLanguage("zh_CN.GB18030"), Language::Chinese);
    EXPECT_EQ(fw::ParseLanguage("en"), Language::English);
    EXPECT_EQ(fw::ParseLanguage("C"), Language::English);
    EXPECT_EQ(fw::ParseLanguage("fr"), std::nullopt);
}

}  // namespace
