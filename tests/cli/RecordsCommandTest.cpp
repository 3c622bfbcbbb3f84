// The times a records lookup takes, as an operator types them.
#include <gtest/gtest.h>

#include "cli/RecordsCommand.h"

namespace {

struct TimeCase {
    const char* typed;
    const char* kept;  // nullptr: refused
};

class RecordsTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(RecordsTime, BecomesTheFormTheRecordsKeep) {
    const std::optional<std::string> time = cli::ParseRecordsTime(GetParam().typed);
    if (GetParam().kept == nullptr) {
        EXPECT_EQ(time, std::nullopt) << *time;
    } else {
        EXPECT_EQ(time, std::optional<std::string>(GetParam().kept));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Typed, RecordsTime,
    ::testing::Values(TimeCase{"2026-12-09", "2026-12-09T00:00:00.000Z"},
                      TimeCase{"2026-12-09T10:30", "2026-12-09T10:30:00.000Z"},
                      TimeCase{"2026-12-09 10:30:05", "2026-12-09T10:30:05.000Z"},
                      TimeCase{"2026-12-09T10:30:05Z", "2026-12-09T10:30:05.000Z"},
                      TimeCase{"2026-12-09T10:30:05.123Z", "2026-12-09T10:30:05.123Z"},
                      TimeCase{"2026-12-9", nullptr}, TimeCase{"2026-13-09", nullptr},
                      TimeCase{"2026-12-00", nullptr}, TimeCase{"2026-12-09T24:00", nullptr},
                      TimeCase{"2026-12-09T10:60", nullptr}, TimeCase{"yesterday", nullptr},
                      TimeCase{"", nullptr}, TimeCase{"2026-12-09T10:30+08:00", nullptr},
                      TimeCase{"2026/12/09", nullptr}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
