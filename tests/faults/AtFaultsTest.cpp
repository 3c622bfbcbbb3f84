// Faults on the AT side of the line, against kavrel-sim: the device pulled off
// while connecting, connected and in the middle of Modify, late answers beyond
// each exchange's limit, ERROR on an AT+SET, line noise and dropped bytes.
// After each: the tool's message for the failure, Stop back to Idle, and no
// success for a value the device did not store.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "FaultBench.h"
#include "SimRecords.h"
#include "form/ControlIds.h"
#include "protocol/AtExchange.h"

using namespace std::chrono_literals;
using faults::CpuWatch;
using faults::StopEndsIdle;
using testsupport::StoredValues;
using testsupport::Workbench;

namespace {

bool Shown(const Workbench& bench, fw::UINT id) {
    auto texts = bench.window.MessageBoxTexts();
    return std::find(texts.begin(), texts.end(), id) != texts.end();
}

// What a failed Modify tells the operator: the failure first, and no success
// after it.
::testing::AssertionResult TellsTheSetFailed(const Workbench& bench) {
    const auto texts = bench.window.MessageBoxTexts();
    if (texts.empty() || texts[0] != res::IDS_SET_FAILED) {
        return ::testing::AssertionFailure() << "the first message is not IDS_SET_FAILED";
    }
    if (Shown(bench, res::IDS_SET_SUCCEEDED)) {
        return ::testing::AssertionFailure() << "IDS_SET_SUCCEEDED shown as well";
    }
    return ::testing::AssertionSuccess();
}

TEST(AtFaults, UnpluggedWhileConnectingEndsInTheStartupTimeout) {
    Workbench bench({"--unplug-at", "connecting"});
    // The probe keeps its window by the clock, also on a line that hung up.
    EXPECT_FALSE(bench.Connect(45s));
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_STARTUP_TIMEOUT});
    EXPECT_EQ(bench.view.m_nConnectState, kStateConnecting);
    ASSERT_EQ(bench.Events("unplug").size(), 1u);
    EXPECT_EQ(bench.Events("unplug")[0]["state"], "connecting");
    EXPECT_TRUE(StopEndsIdle(bench));
}

TEST(AtFaults, UnpluggedWhileConnectedFailsModifyAndRestore) {
    testsupport::TempDir state;
    const auto stateFile = state.Path() / "state.txt";
    Workbench bench({"--unplug-at", "connected", "--state", stateFile.string()});
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.WaitFor([&] { return !bench.Events("unplug").empty(); }, 5s));
    ASSERT_TRUE(bench.TypeAndTick(2, "internet.m2m"));
    bench.Command(res::ID_MODIFY);
    EXPECT_TRUE(TellsTheSetFailed(bench));
    bench.window.ClearMessageBoxes();
    bench.Command(res::ID_RESTORE);
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_RESTORE_FAILED});
    EXPECT_TRUE(bench.StoredItems().empty());
    EXPECT_TRUE(bench.Events("restore").empty());
    EXPECT_NE(StoredValues(stateFile)[2], "internet.m2m");
    EXPECT_TRUE(StopEndsIdle(bench));
}

TEST(AtFaults, UnpluggedMidModifyKeepsOnlyWhatTheDeviceStoredAndReportsFailure) {
    for (int n : {1, 2}) {
        SCOPED_TRACE(n);
        testsupport::TempDir state;
        const auto stateFile = state.Path() / "state.txt";
        Workbench bench(
            {"--unplug-at", "mid-modify:" + std::to_string(n), "--state", stateFile.string()});
        ASSERT_TRUE(bench.Connect());
        ASSERT_TRUE(bench.ModifySampleRows());
        EXPECT_TRUE(TellsTheSetFailed(bench));
        const std::vector<int> all{2, 6, 11};
        EXPECT_EQ(bench.StoredItems(), std::vector<int>(all.begin(), all.begin() + n));
        auto values = StoredValues(stateFile);
        EXPECT_EQ(values[2], "internet.m2m");
        EXPECT_EQ(values[6] == "8080", n >= 2);
        EXPECT_NE(values[11], "30");
        EXPECT_TRUE(StopEndsIdle(bench));
    }
}

// Five empty reads of 100 ms end a query; an answer later than that is a
// failure of that step, an answer within it is not.
TEST(AtFaults, AnswersBeyondTheQueryLimitFailTheirStep) {
    const std::pair<const char*, fw::UINT> cases[] = {
        {"AT+DTU&IMEI?", res::IDS_READ_IMEI_FAILED},
        {"AT+DTU&VER?", res::IDS_READ_VERSION_FAILED},
        {"AT+GETDV=0", res::IDS_READ_CONFIG_FAILED},
    };
    for (const auto& [command, message] : cases) {
        SCOPED_TRACE(command);
        Workbench bench({"--delay-command", command, "--delay-one", "1500"});
        EXPECT_FALSE(bench.Connect());
        EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{message});
        EXPECT_EQ(bench.view.m_nConnectState, kStateConnecting);
        EXPECT_TRUE(StopEndsIdle(bench));
    }
    Workbench bench({"--delay-command", "AT+GETDV=0", "--delay-one", "250"});
    EXPECT_TRUE(bench.Connect());
    EXPECT_TRUE(bench.window.MessageBoxTexts().empty());
}

// The device stored the value but answered after the tool had given up: the
// operator is told it failed, never that it worked.
TEST(AtFaults, SetAnsweredTooLateIsAFailure) {
    Workbench bench({"--delay-command", "AT+SET=", "--delay-one", "2000"});
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.ModifySampleRows(2));
    EXPECT_TRUE(TellsTheSetFailed(bench));
    EXPECT_EQ(bench.StoredItems(), std::vector<int>{2});
    EXPECT_TRUE(StopEndsIdle(bench));
}

TEST(AtFaults, ErrorOnASetStopsModifyThere) {
    Workbench bench({"--error-on-set-number", "2"});
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.ModifySampleRows());
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_SET_FAILED});
    EXPECT_EQ(bench.StoredItems(), std::vector<int>{2});
    EXPECT_TRUE(StopEndsIdle(bench));
}

// The protocol's words inside values, and a listing in another order: the
// view connects with every item and shows the values as the device holds them.
TEST(AtFaults, ProtocolWordsInValuesAndAShuffledListingConnectWhole) {
    Workbench bench({"--protocol-words", "--listing-order", "shuffled", "--seed", "3"});
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(g_nItemCount, 40);
    EXPECT_EQ(bench.window.Text(ItemCurrentId(12)), "OK");
    EXPECT_EQ(bench.window.Text(ItemCurrentId(14)), "LINK OK");
    EXPECT_EQ(bench.window.Text(ItemCurrentId(39)), "NO ERROR LOG");
    EXPECT_TRUE(bench.window.MessageBoxTexts().empty());
    EXPECT_TRUE(StopEndsIdle(bench));
}

TEST(AtFaults, SilentDeviceLeavesTheProbeToStopWithoutSpinning) {
    Workbench bench({"--silent"});
    bench.Command(res::ID_START_CONFIG);
    CpuWatch cpu;
    bench.RunUntil([] { return false; }, 1500ms);
    EXPECT_LT(cpu.Share(), 0.9);
    EXPECT_EQ(bench.view.m_nConnectState, kStateConnecting);
    EXPECT_TRUE(StopEndsIdle(bench));
    EXPECT_TRUE(bench.window.MessageBoxTexts().empty());
}

TEST(AtFaults, QuitUnansweredAtStopStillEndsIdle) {
    Workbench bench({"--delay-command", "AT+QUIT", "--delay-one", "3000"});
    ASSERT_TRUE(bench.Connect());
    EXPECT_TRUE(StopEndsIdle(bench));
    EXPECT_TRUE(bench.window.MessageBoxTexts().empty());
}

// Whatever noise or lost bytes do to the dialogue, a success shown for Modify
// is borne out by the values the device keeps.
// Runs that claim success are checked against what the device stored; some
// run must get that far, or nothing was checked.
void NoFalseSuccess(const std::string& option, const std::string& rate) {
    int checked = 0;
    for (const char* seed : {"1", "2", "3", "4", "5", "6"}) {
        SCOPED_TRACE(option + " seed " + seed);
        testsupport::TempDir state;
        const auto stateFile = state.Path() / "state.txt";
        Workbench bench({option, rate, "--seed", seed, "--state", stateFile.string()});
        if (bench.Connect()) {
            ASSERT_TRUE(bench.ModifySampleRows(2));
            if (Shown(bench, res::IDS_SET_SUCCEEDED)) {
                ++checked;
                auto values = StoredValues(stateFile);
                EXPECT_EQ(values[2], "internet.m2m");
                EXPECT_EQ(values[6], "8080");
            }
        } else {
            EXPECT_EQ(bench.window.MessageBoxTexts().size(), 1u);
        }
        EXPECT_TRUE(StopEndsIdle(bench));
    }
    EXPECT_GT(checked, 0) << "no run got a write through: no success was checked";
}

// A row the device did not list is ticked: Modify writes nothing rather than
// leave it out and tell the write done.
TEST(AtFaults, ATickedRowTheDeviceDidNotListStopsModify) {
    Workbench bench({"--listing-gaps", "6"});
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.ModifySampleRows(2));
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_ITEM_NOT_LISTED});
    EXPECT_TRUE(StopEndsIdle(bench));
}

TEST(AtFaults, NoiseNeverGivesAFalseSuccess) {
    NoFalseSuccess("--noise", "0.03");
}

TEST(AtFaults, DroppedBytesNeverGiveAFalseSuccess) {
    NoFalseSuccess("--drop", "0.03");
}

}  // namespace
