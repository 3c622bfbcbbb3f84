// Both desktop programs answer their command line before Qt looks for a
// display: started where there is none, as on a build server or over ssh.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ProgramStateTest.h"
#include "TempDir.h"
#include "TestFiles.h"

namespace {

struct Line {
    const char* program;
    std::vector<std::string> arguments;
    std::string language;  // LANG
    int status;
    std::string out;  // the start of standard output
    std::string err;  // the start of standard error
};

void PrintTo(const Line& line, std::ostream* out) {
    *out << line.program << " LANG=" << line.language;
    for (const std::string& argument : line.arguments) {
        *out << ' ' << argument;
    }
}

class AppWithoutDisplay : public testsupport::ProgramStateTest,
                          public ::testing::WithParamInterface<Line> {
protected:
    testsupport::TempDir dir_;
};

TEST_P(AppWithoutDisplay, AnswersTheLine) {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        SetEnv(variable, std::nullopt);
    }
    SetEnv("LANG", GetParam().language);
    SetEnv("LC_ALL", std::nullopt);
    SetEnv("LC_MESSAGES", std::nullopt);
    SetEnv("XDG_CONFIG_HOME", dir_.Path().string());
    const std::string program =
        GetParam().program == std::string("tirvel") ? TIRVEL_APP_BIN : TIRVEL_STATION_BIN;
    testsupport::ChildProcess app(program, GetParam().arguments, dir_.Path() / "out",
                                  dir_.Path() / "err");
    const int status = app.Wait(std::chrono::seconds(30));
    const std::string out = testsupport::ReadFile(dir_.Path() / "out");
    const std::string err = testsupport::ReadFile(dir_.Path() / "err");
    EXPECT_EQ(status, GetParam().status) << out << err;
    EXPECT_EQ(out.rfind(GetParam().out, 0), 0u) << out;
    EXPECT_EQ(err.rfind(GetParam().err, 0), 0u) << err;
    EXPECT_TRUE(GetParam().out.empty() ? out.empty() : err.empty()) << out << err;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, AppWithoutDisplay,
    ::testing::Values(
        Line{"tirvel", {"--help"}, "C", 0, "Usage: tirvel [--lang en|zh]\n\nConfigures", ""},
        Line{"tirvel", {"--version"}, "C", 0, "Tirvel " TIRVEL_VERSION "\n", ""},
        Line{"tirvel", {"--lang", "zh", "-h"}, "C", 0, "用法：tirvel", ""},
        Line{"tirvel", {"--help"}, "zh_CN.UTF-8", 0, "用法：tirvel", ""},
        // Qt's own options are Qt's, even when Qt never gets to see them.
        Line{"tirvel", {"-platform", "offscreen", "-reverse", "--help"}, "C", 0, "Usage:", ""},
        Line{"tirvel", {"--bogus"}, "C", 2, "", "--bogus\nUsage: tirvel"},
        Line{"tirvel-station", {"--help"}, "C", 0, "Usage: tirvel-station [--lang en|zh]", ""},
        Line{"tirvel-station", {"-v"}, "C", 0, "tirvel-station " TIRVEL_VERSION "\n", ""},
        Line{"tirvel-station", {"--help"}, "zh_CN.UTF-8", 0, "用法：tirvel-station", ""},
        Line{"tirvel-station", {"--lang=zh", "--colour"}, "C", 2, "", "未知选项--colour。"},
        Line{"tirvel-station",
             {"-style", "fusion", "--colour"},
             "C",
             2,
             "",
             "Unknown option --colour.\nUsage: tirvel-station"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
