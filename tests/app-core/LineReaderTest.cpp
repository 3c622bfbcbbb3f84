// The rules the desktops' lines are read by, on a line of three options:
// --value (-x) takes a value, --switch is a switch given no value, --list
// gathers one value each time it is given.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/core/LineReader.h"

namespace {

using Args = std::vector<std::string>;
using Outcome = app::LineRead::Outcome;

struct Reading {
    Args line;
    Outcome outcome;
    std::string argument;  // named for a wrong line, else the value of --value
};

void PrintTo(const Reading& reading, std::ostream* out) {
    for (const std::string& argument : reading.line) {
        *out << argument << ' ';
    }
}

class LineReader : public ::testing::TestWithParam<Reading> {};

TEST_P(LineReader, ReadsTheLine) {
    app::CLineReader reader;
    const CLI::Option* value = reader.Options().add_option("-x,--value");
    reader.Options().add_flag("--switch")->disable_flag_override();
    reader.Options().add_option("--list")->allow_extra_args(false)->multi_option_policy(
        CLI::MultiOptionPolicy::TakeAll);
    const app::LineRead read = reader.Read(GetParam().line);
    EXPECT_EQ(read.outcome, GetParam().outcome);
    EXPECT_EQ(GetParam().outcome == Outcome::Options ? app::GivenValue(*value).value_or("(none)")
                                                     : read.argument,
              GetParam().argument);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineReader,
    ::testing::Values(Reading{{"--value", "a", "--value=b"}, Outcome::Options, "b"},
                      Reading{{"--value=", "--switch"}, Outcome::Options, ""},
                      Reading{{"--value=a=b"}, Outcome::Options, "a=b"},
                      Reading{{"--value=", "word"}, Outcome::Unknown, "word"},
                      Reading{{"--list", "a", "b"}, Outcome::Unknown, "b"},
                      Reading{{"--switch=1", "--help"}, Outcome::Unknown, "--switch=1"},
                      Reading{{"--", "--value", "a"}, Outcome::Unknown, "--"},
                      Reading{{"--value", "a", "-x"}, Outcome::NoValue, "-x"},
                      Reading{{"--colour", "/?"}, Outcome::Help, ""},
                      Reading{{"--help", "--value"}, Outcome::Help, ""},
                      Reading{{"-v", "--value"}, Outcome::Version, ""}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
