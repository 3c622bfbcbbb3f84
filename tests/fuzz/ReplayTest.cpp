// Every fuzz target over every file of its corpus, in the normal build: the
// seeds keep working and every crash once found stays fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DialoguePort.h"
#include "FuzzCheck.h"

#define TIRVEL_DECLARE_TARGET(name) FUZZ_TARGET(name);
TIRVEL_DECLARE_TARGET(at_reply)
TIRVEL_DECLARE_TARGET(config_read)
TIRVEL_DECLARE_TARGET(config_import)
TIRVEL_DECLARE_TARGET(xmodem_sender)
TIRVEL_DECLARE_TARGET(xmodem_truth)
TIRVEL_DECLARE_TARGET(dialogue_truth)
#ifdef TIRVEL_FUZZ_SIMULATOR
TIRVEL_DECLARE_TARGET(sim_at)
TIRVEL_DECLARE_TARGET(sim_xmodem)
#endif

namespace fuzzsupport {

namespace {
std::vector<std::string> g_failures;
}

void Fail(const char* check, const char* file, int line) {
    g_failures.push_back(std::string(file) + ":" + std::to_string(line) + ": " + check);
}

}  // namespace fuzzsupport

namespace {

namespace fs = std::filesystem;
using Target = int (*)(const std::uint8_t*, std::size_t);

struct Case {
    const char* name;
    Target run;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Corpus : public ::testing::TestWithParam<Case> {};

TEST_P(Corpus, EveryFileKeepsTheInvariants) {
    const fs::path dir = fs::path(TIRVEL_FUZZ_CORPUS) / GetParam().name;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no seeds in " << dir;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        fuzzsupport::g_failures.clear();
        GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        for (const std::string& failure : fuzzsupport::g_failures) {
            ADD_FAILURE() << file.filename().string() << ": " << failure;
        }
    }
}

const Case kCases[] = {
    {"at_reply", FuzzTarget_at_reply},
    {"config_read", FuzzTarget_config_read},
    {"config_import", FuzzTarget_config_import},
    {"xmodem_sender", FuzzTarget_xmodem_sender},
    {"xmodem_truth", FuzzTarget_xmodem_truth},
    {"dialogue_truth", FuzzTarget_dialogue_truth},
#ifdef TIRVEL_FUZZ_SIMULATOR
    {"sim_at", FuzzTarget_sim_at},
    {"sim_xmodem", FuzzTarget_sim_xmodem},
#endif
};

INSTANTIATE_TEST_SUITE_P(Fuzz, Corpus, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The dialogue over seeded devices: most bytes zero, so that most commands are
// answered plainly and the scenarios get through to apply and restore, the
// others a misbehaviour each.
TEST(DialogueProperty, EverySuccessOverSeededDevicesIsTheDevicesState) {
    fuzzsupport::g_dialogueTally = {};
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int scenario = 0; scenario < 400; ++scenario) {
        std::vector<std::uint8_t> input(3 + next() % 64);
        for (std::size_t i = 0; i < input.size(); ++i) {
            input[i] = i < 3 || next() % 3 == 0 ? static_cast<std::uint8_t>(next()) : 0;
        }
        fuzzsupport::g_failures.clear();
        FuzzTarget_dialogue_truth(input.data(), input.size());
        for (const std::string& failure : fuzzsupport::g_failures) {
            ADD_FAILURE() << "scenario " << scenario << ": " << failure;
        }
    }
    EXPECT_GT(fuzzsupport::g_dialogueTally.connected, 100);
    EXPECT_GT(fuzzsupport::g_dialogueTally.applied, 50);
    EXPECT_GT(fuzzsupport::g_dialogueTally.restored, 50);
}

}  // namespace
