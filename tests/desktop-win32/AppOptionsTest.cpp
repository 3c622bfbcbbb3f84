#include <gtest/gtest.h>

#include "app/win32/Tirvel2App.h"

namespace app::win32::test {
namespace {

using Args = std::vector<std::string>;

TEST(AppOptions, LanguageAndHiddenOptions) {
    const auto parsed = CTirvel2App::ParseCommandLine(
        Args{"--lang", "zh", "--autostart", "--firmware=C:\\fw.bin", "--quit-after-start"});
    ASSERT_FALSE(parsed.exitStatus);
    EXPECT_EQ(parsed.options.language, fw::Language::Chinese);
    EXPECT_TRUE(parsed.options.autostart);
    EXPECT_TRUE(parsed.options.quitAfterStart);
    EXPECT_EQ(parsed.options.firmwarePath, "C:\\fw.bin");
    EXPECT_FALSE(CTirvel2App::ParseCommandLine(Args{}).options.language);
    EXPECT_EQ(CTirvel2App::ParseCommandLine(Args{"--lang=en"}).options.language,
              fw::Language::English);
}

TEST(AppOptions, HelpAndVersionEndTheRunSuccessfully) {
    const auto help = CTirvel2App::ParseCommandLine(Args{"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.message.find("--lang"), std::string::npos);
    const auto version = CTirvel2App::ParseCommandLine(Args{"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_NE(version.message.find(TIRVEL_TEST_VERSION), std::string::npos);
}

TEST(AppOptions, WrongLinesAreUsageErrors) {
    for (const Args& line : {Args{"--lang", "fr"}, Args{"--lang"}, Args{"--bogus"},
                             Args{"file.txt"}, Args{"--firmware"}, Args{"--autostart=1"}}) {
        const auto parsed = CTirvel2App::ParseCommandLine(line);
        EXPECT_EQ(parsed.exitStatus, 2) << line.front();
        EXPECT_FALSE(parsed.message.empty());
    }
}

}  // namespace
}  // namespace app::win32::test
