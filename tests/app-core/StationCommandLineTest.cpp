// tirvel-station's command line: what it fills in the form, and the lines it
// refuses with the reason and the usage.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "LanguageForTheTest.h"
#include "app/core/StationCommandLine.h"

namespace {

using Args = std::vector<std::string>;
using Job = CStationView::Job;

TEST(StationCommandLine, FillsOnlyWhatItNamesOverTheLastJob) {
    testsupport::EnglishForTheTest english;
    const auto parsed = app::ParseStationCommandLine(
        Args{"-p", "61-63", "--firmware=fw.bin", "--count", "6", "--report", "r.csv", "--records",
             "sqlite:/line/r.db", "--values", "own.csv", "--pool", "ids", "--start"},
        false);
    ASSERT_FALSE(parsed.exitStatus) << parsed.message;
    EXPECT_TRUE(parsed.options.start);
    CStationView::JobForm last;
    last.job = Job::Configure;
    last.file = "old.ini";
    last.ports = "1-2";
    last.reportFolder = "/reports";
    last.values = "old.csv";
    last.pool = "old-ids";
    const CStationView::JobForm form = app::MergeStationForm(last, parsed.options);
    EXPECT_EQ(form.job, Job::Update);
    EXPECT_EQ(form.file, "fw.bin");
    EXPECT_EQ(form.ports, "61-63");
    EXPECT_EQ(form.count, "6");
    EXPECT_EQ(form.report, "r.csv");
    EXPECT_EQ(form.reportFolder, "/reports");
    EXPECT_EQ(form.records, "sqlite:/line/r.db");
    EXPECT_EQ(form.values, "own.csv");
    EXPECT_EQ(form.pool, "ids");
    // Nothing named: the last job stands whole.
    const auto bare = app::ParseStationCommandLine(Args{}, false);
    EXPECT_EQ(app::MergeStationForm(last, bare.options).file, "old.ini");
    EXPECT_EQ(app::MergeStationForm(last, bare.options).job, Job::Configure);
    EXPECT_EQ(app::MergeStationForm(last, bare.options).values, "old.csv");
    EXPECT_EQ(app::MergeStationForm(last, bare.options).pool, "old-ids");
}

TEST(StationCommandLine, DevicesAreJoinedIntoThePortList) {
    const auto parsed = app::ParseStationCommandLine(
        Args{"--device", "/dev/ttyUSB0", "--device", "/dev/ttyUSB1", "--profile", "p.ini"}, false);
    ASSERT_FALSE(parsed.exitStatus) << parsed.message;
    EXPECT_EQ(parsed.options.ports, "/dev/ttyUSB0,/dev/ttyUSB1");
    EXPECT_EQ(parsed.options.job, Job::Configure);
}

struct Refused {
    Args arguments;
    bool withScreenshot;
    std::string reason;
};

// The line as typed names the case, the same from one listing to the next.
void PrintTo(const Refused& refused, std::ostream* out) {
    for (const std::string& argument : refused.arguments) {
        *out << argument << ' ';
    }
}

class StationCommandLineRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(StationCommandLineRefuses, WithTheReasonThenTheUsage) {
    testsupport::EnglishForTheTest english;
    const auto parsed =
        app::ParseStationCommandLine(GetParam().arguments, GetParam().withScreenshot);
    ASSERT_EQ(parsed.exitStatus, 2);
    EXPECT_EQ(parsed.message.rfind(GetParam().reason, 0), 0u) << parsed.message;
    EXPECT_NE(parsed.message.find("\nUsage: tirvel-station [--lang en|zh]"), std::string::npos)
        << parsed.message;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StationCommandLineRefuses,
    ::testing::Values(
        Refused{{"--colour"}, false, "Unknown option --colour."},
        Refused{{"--count"}, false, "--count needs a value."},
        Refused{{"--report", "r.csv", "-p"}, false, "-p needs a value."},
        Refused{{"--device", "/dev/ttyS0", "/dev/ttyS1"}, false, "Unknown option /dev/ttyS1."},
        // The count tirvelctl takes, with tirvelctl's words.
        Refused{{"--count=0x10"}, false, "--count needs a whole number from 1 to 999999999"},
        Refused{{"--profile", "p.ini", "--firmware", "fw.bin"},
                false,
                "Give --profile or --firmware, not both."},
        Refused{{"--profile", "a.ini", "--profile=b.ini"},
                false,
                "Give --profile or --firmware, not both."},
        Refused{{"-p", "1", "--device", "/dev/ttyS0"}, false, "Give -p or --device, not both."},
        Refused{{"--lang", "fr"}, false, "Unknown language \"fr\": use en or zh."},
        Refused{{"--records", "mysql://db"}, false, "Unknown records store \"mysql://db\""},
        // Only the shell that pictures itself knows the option.
        Refused{{"--screenshot", "x.png"}, false, "Unknown option --screenshot."}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// The language is known even where the line stops short: its last option
// still waits for its value.
TEST(StationCommandLine, RefusesInTheLanguageTheLineNames) {
    testsupport::EnglishForTheTest english;
    const auto parsed = app::ParseStationCommandLine(Args{"--lang", "zh", "--report"}, false);
    EXPECT_EQ(parsed.exitStatus, 2);
    EXPECT_EQ(parsed.message.rfind("--report需要一个值。\n用法：tirvel-station", 0), 0u)
        << parsed.message;
}

TEST(StationCommandLine, HelpEndsTheRunWithTheUsageAndAPictureOnlyWhereTaken) {
    testsupport::EnglishForTheTest english;
    for (const char* help : {"--help", "-h", "/?"}) {
        const auto parsed = app::ParseStationCommandLine(Args{help}, false);
        EXPECT_EQ(parsed.exitStatus, 0);
        EXPECT_EQ(parsed.message.rfind("Usage: tirvel-station ", 0), 0u) << parsed.message;
        EXPECT_EQ(parsed.message.find("--screenshot"), std::string::npos) << parsed.message;
    }
    const auto picture = app::ParseStationCommandLine(Args{"--screenshot", "x.png"}, true);
    ASSERT_FALSE(picture.exitStatus) << picture.message;
    EXPECT_EQ(picture.options.screenshot, "x.png");
}

}  // namespace
