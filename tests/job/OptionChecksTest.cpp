// The checks every program gives a value the operator typed: tirvelctl's
// line, the desktops' lines and the station window's form all call these.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "LanguageForTheTest.h"
#include "job/OptionChecks.h"

namespace {

TEST(OptionChecks, ACountIsPlainDecimalFromOneToTheLimit) {
    for (const auto& [text, count] :
         {std::pair{"1", 1}, std::pair{"010", 10}, std::pair{"999999999", 999999999},
          std::pair{"0000999999999", 999999999}}) {
        EXPECT_EQ(job::ParseCount(text), count) << text;
    }
    for (const char* text : {"", "0", "000", "1000000000", "0x10", "-1", "+1", " 7", "1e3"}) {
        EXPECT_FALSE(job::ParseCount(text)) << text;
    }
}

TEST(OptionChecks, RefusalsNameTheOptionAndTheValueInTheLanguageAsked) {
    testsupport::EnglishForTheTest english;
    EXPECT_EQ(job::CountRefusal("--count", "7"), "");
    EXPECT_EQ(job::CountRefusal("--count", "1e3"),
              "--count needs a whole number from 1 to 999999999 in plain decimal, not \"1e3\".");
    EXPECT_EQ(job::CountRefusal("--seconds", "0", fw::Language::Chinese),
              "--seconds须为1到999999999之间的十进制整数，而不是“0”。");
    EXPECT_EQ(job::LanguageRefusal("zh"), "");
    EXPECT_EQ(job::LanguageRefusal("fr", fw::Language::Chinese), "未知语言“fr”：请使用 en 或 zh。");
}

}  // namespace
