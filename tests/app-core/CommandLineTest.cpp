#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LanguageForTheTest.h"
#include "app/core/CommandLine.h"

namespace {

using Args = std::vector<std::string>;

app::ParseResult Parse(const Args& arguments, bool withScreenshots = false) {
    return app::ParseCommandLine(arguments, withScreenshots);
}

TEST(CommandLine, ValuesComeAfterTheOptionOrAfterAnEqualsSign) {
    testsupport::EnglishForTheTest english;
    const auto parsed = Parse(Args{"--device", "/dev/ttyUSB0", "--firmware=fw.bin", "--autostart"});
    ASSERT_FALSE(parsed.exitStatus);
    EXPECT_EQ(parsed.options.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(parsed.options.firmwarePath, "fw.bin");
    EXPECT_TRUE(parsed.options.autostart);
    EXPECT_FALSE(parsed.options.quitAfterStart);
    EXPECT_FALSE(parsed.options.language);
    // A value may itself hold an equals sign; only the first one splits.
    EXPECT_EQ(Parse(Args{"--device=a=b"}).options.devicePath, "a=b");
}

TEST(CommandLine, EverySpellingOfHelpAndVersionEndsTheRun) {
    testsupport::EnglishForTheTest english;
    for (const char* help : {"--help", "-h", "/?", "--help=1"}) {
        const auto parsed = Parse(Args{"--autostart", help, "--bogus"});
        EXPECT_EQ(parsed.exitStatus, 0) << help;
        EXPECT_EQ(parsed.message.rfind("Usage: tirvel [--lang en|zh]\n\n", 0), 0u) << help;
        EXPECT_NE(parsed.message.find("--version"), std::string::npos) << help;
    }
    for (const char* version : {"--version", "-v"}) {
        const auto parsed = Parse(Args{version});
        EXPECT_EQ(parsed.exitStatus, 0);
        EXPECT_EQ(parsed.message, "Tirvel " TIRVEL_TEST_VERSION);
    }
    EXPECT_EQ(app::VersionText(), "Tirvel " TIRVEL_TEST_VERSION);
}

TEST(CommandLine, AnUnknownLanguageIsNamedWithoutTheHelp) {
    testsupport::EnglishForTheTest english;
    const auto parsed = Parse(Args{"--lang=fr"});
    EXPECT_EQ(parsed.exitStatus, 2);
    EXPECT_FALSE(parsed.options.language);
    EXPECT_EQ(parsed.message, "Unknown language \"fr\": use en or zh.");

    app::ParseResult result;
    EXPECT_TRUE(app::SetLanguageOption("zh", result));
    EXPECT_EQ(result.options.language, fw::Language::Chinese);
    EXPECT_FALSE(result.exitStatus);
}

TEST(CommandLine, AUsageErrorNamesTheArgumentThenGivesTheHelp) {
    testsupport::EnglishForTheTest english;
    const std::vector<std::pair<Args, std::string>> cases = {
        {Args{"--bogus"}, "--bogus"},         {Args{"--autostart=1"}, "--autostart=1"},
        {Args{"--device"}, "--device"},       {Args{"--lang"}, "--lang"},
        {Args{"profile.dat"}, "profile.dat"}, {Args{"--firmware=", "x"}, "x"},
    };
    for (const auto& [line, named] : cases) {
        const auto parsed = Parse(line);
        EXPECT_EQ(parsed.exitStatus, 2) << named;
        EXPECT_EQ(parsed.message.rfind(named + "\nUsage: tirvel", 0), 0u) << parsed.message;
    }
}

// The pictures need a shell that can take them: elsewhere their options are
// as unknown as any other.
TEST(CommandLine, ScreenshotOptionsOnlyWhereTheShellTakesPictures) {
    testsupport::EnglishForTheTest english;
    const Args line{
        "--screenshot",          "a.png", "--about-screenshot=b.png", "--log-screenshot", "c.png",
        "--transfer-screenshot", "d.png"};
    const auto taken = Parse(line, true);
    ASSERT_FALSE(taken.exitStatus);
    EXPECT_EQ(taken.options.screenshot, "a.png");
    EXPECT_EQ(taken.options.aboutScreenshot, "b.png");
    EXPECT_EQ(taken.options.logScreenshot, "c.png");
    EXPECT_EQ(taken.options.transferScreenshot, "d.png");
    for (const char* option :
         {"--screenshot", "--about-screenshot", "--log-screenshot", "--transfer-screenshot"}) {
        EXPECT_EQ(Parse(Args{option, "x.png"}).exitStatus, 2) << option;
    }
}

// The table the Qt shell builds its parser from: every hidden option either
// takes a value or is a switch, and each has a field of its own.
TEST(CommandLine, EveryHiddenOptionSetsOneField) {
    testsupport::EnglishForTheTest english;
    Args line;
    for (const app::HiddenOption& option : app::HiddenOptions()) {
        EXPECT_NE(option.value == nullptr, option.flag == nullptr) << option.name;
        EXPECT_EQ(option.value == nullptr, option.valueName.empty()) << option.name;
        line.push_back("--" + std::string(option.name));
        if (option.value != nullptr) {
            line.push_back(std::string(option.name) + ".value");
        }
    }
    const auto parsed = Parse(line, true);
    ASSERT_FALSE(parsed.exitStatus) << parsed.message;
    for (const app::HiddenOption& option : app::HiddenOptions()) {
        if (option.value != nullptr) {
            EXPECT_EQ(parsed.options.*option.value, std::string(option.name) + ".value");
        } else {
            EXPECT_TRUE(parsed.options.*option.flag) << option.name;
        }
    }
    EXPECT_EQ(app::HiddenOptions().size(), 8u);
}

// What Qt takes off the line itself is set aside before the program reads it,
// values and all; what only looks like it stays the program's.
TEST(CommandLine, TheToolkitsOwnOptionsAreSetAside) {
    constexpr app::ToolkitOption toolkit[] = {{"platform", true}, {"reverse", false}};
    const Args line{"-platform",      "offscreen", "--lang",    "zh",
                    "--platform=xcb", "-reverse",  "--reverse", "-reverse=1",
                    "-platformx",     "--device",  "-platform"};
    EXPECT_EQ(app::WithoutToolkitOptions(line, toolkit),
              (Args{"--lang", "zh", "-reverse=1", "-platformx", "--device"}));
    const auto help = Parse(Args{"--help"});
    EXPECT_EQ(help.message.find("--device"), std::string::npos) << help.message;
}

}  // namespace
