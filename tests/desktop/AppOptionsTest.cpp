// The Qt desktop's command line: Qt's parser over the shell core's options.
#include <gtest/gtest.h>

#include <QStringList>

#include "DesktopSupport.h"
#include "app/qt/Tirvel2App.h"

namespace {

using app::CTirvel2App;

TEST(AppOptions, TheLanguageAndTheHiddenOptionsReachTheirFields) {
    desktoptest::LanguageScope english(fw::Language::English);
    const auto parsed = CTirvel2App::ParseCommandLine(
        {"tirvel", "--lang", "zh", "--device=/dev/pts/7", "--autostart", "--screenshot", "a.png",
         "--log-screenshot=b.png", "--firmware", "fw.bin", "--quit-after-start"});
    ASSERT_FALSE(parsed.exitStatus) << parsed.message;
    EXPECT_EQ(parsed.options.language, fw::Language::Chinese);
    EXPECT_EQ(parsed.options.devicePath, "/dev/pts/7");
    EXPECT_TRUE(parsed.options.autostart);
    EXPECT_TRUE(parsed.options.quitAfterStart);
    EXPECT_EQ(parsed.options.screenshot, "a.png");
    EXPECT_EQ(parsed.options.logScreenshot, "b.png");
    EXPECT_EQ(parsed.options.aboutScreenshot, "");
    EXPECT_EQ(parsed.options.firmwarePath, "fw.bin");
}

TEST(AppOptions, HelpHidesTheTestOptionsAndVersionNamesTheProgram) {
    desktoptest::LanguageScope english(fw::Language::English);
    const auto help = CTirvel2App::ParseCommandLine({"tirvel", "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.message.find("--lang <en|zh>"), std::string::npos) << help.message;
    EXPECT_EQ(help.message.find("--device"), std::string::npos) << help.message;
    EXPECT_EQ(help.message.find("screenshot"), std::string::npos) << help.message;
    const auto version = CTirvel2App::ParseCommandLine({"tirvel", "--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.message, "Tirvel " TIRVEL_VERSION);
}

TEST(AppOptions, WrongLinesAreUsageErrors) {
    desktoptest::LanguageScope english(fw::Language::English);
    const auto unknown = CTirvel2App::ParseCommandLine({"tirvel", "--bogus"});
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_EQ(unknown.message, "Unknown option 'bogus'.");
    const auto language = CTirvel2App::ParseCommandLine({"tirvel", "--lang", "fr"});
    EXPECT_EQ(language.exitStatus, 2);
    EXPECT_EQ(language.message, "Unknown language \"fr\": use en or zh.");
    const auto positional = CTirvel2App::ParseCommandLine({"tirvel", "file.txt"});
    EXPECT_EQ(positional.exitStatus, 2);
    EXPECT_NE(positional.message.find("--lang"), std::string::npos);
    EXPECT_EQ(CTirvel2App::ParseCommandLine({"tirvel", "--firmware"}).exitStatus, 2);
}

}  // namespace
