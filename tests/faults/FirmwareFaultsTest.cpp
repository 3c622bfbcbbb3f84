// Faults on the boot-loader side: the device pulled off while the tool waits
// for the loader, in the loader's dialogue and in the debug log; receivers that
// NAK every block, cancel, or never fall silent; noise on the loader's line.
// The image the device keeps is byte for byte the file, or the transfer is
// reported as failed.
#include <gtest/gtest.h>

#include "FaultBench.h"
#include "FirmwareBench.h"
#include "TestFiles.h"

using namespace std::chrono_literals;
using faults::CpuWatch;
using faults::StopEndsIdle;
using testsupport::ReadFile;
using testsupport::Workbench;

namespace {

// A bench whose loader takes the update; no debug output, so that nothing
// keeps the line busy after a transfer has ended.
struct UpdateBench {
    explicit UpdateBench(std::vector<std::string> options)
        : bench(WithLoader(out, std::move(options))), dialogs(bench.loop) {
        image = testsupport::Pattern(128 * 6 + 50);
        const auto path = out.Path() / "fw.bin";
        std::ofstream(path, std::ios::binary) << image;
        bench.view.m_strFirmwarePath = path.string();
        dialogs.limit = 30s;
    }
    static std::vector<std::string> WithLoader(const testsupport::TempDir& out,
                                               std::vector<std::string> options) {
        std::ofstream(out.Path() / "quiet.txt");
        options.insert(options.end(), {"--firmware-out", (out.Path() / "received.bin").string(),
                                       "--debug-text", (out.Path() / "quiet.txt").string()});
        return options;
    }
    std::string Received() const { return ReadFile(out.Path() / "received.bin"); }
    bool Kept() const { return std::filesystem::exists(out.Path() / "received.bin"); }
    std::string Expected() const {
        std::string padded = image + '\x1A';
        padded.resize((padded.size() + 127) / 128 * 128, '\0');
        return padded;
    }
    // The one transfer's outcome box, once the dialog has ended.
    fw::UINT Outcome(std::chrono::milliseconds limit = 20s) {
        if (!bench.RunUntil([&] { return !dialogs.transfers.empty(); }, limit) ||
            dialogs.transfers[0].boxes.size() != 1) {
            return 0;
        }
        return dialogs.transfers[0].boxes[0].textId;
    }

    testsupport::TempDir out;
    Workbench bench;
    testsupport::FirmwareDialogs dialogs;
    std::string image;
};

// A loader that acknowledges a block twice, the second ACK crossing the next
// block, and asks for the end again: the transfer dialog's success is the
// image the loader keeps.
TEST(FirmwareFaults, LoaderThatAcksTwiceAndAsksForTheEndAgainKeepsTheImage) {
    UpdateBench u({"--double-ack", "3", "--double-ack-delay", "20", "--eot-nak"});
    u.bench.Command(res::ID_UPDATE_FIRMWARE);
    EXPECT_EQ(u.Outcome(), res::IDS_TRANSFER_SUCCEEDED);
    EXPECT_EQ(u.Received(), u.Expected());
}

TEST(FirmwareFaults, UnpluggedAwaitingTheLoaderEndsInTheLoaderLimit) {
    UpdateBench u({"--unplug-at", "awaiting-loader"});
    u.bench.view.m_nLoaderLimitMs = 2000;
    u.bench.Command(res::ID_UPDATE_FIRMWARE);
    CpuWatch cpu;
    ASSERT_TRUE(u.bench.RunUntil([&] { return !u.bench.window.MessageBoxTexts().empty(); }, 10s));
    EXPECT_LT(cpu.Share(), 0.9);
    EXPECT_EQ(u.bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_LOADER_TIMEOUT});
    EXPECT_EQ(u.bench.Events("unplug").size(), 1u);
    EXPECT_EQ(u.bench.view.m_nConnectState, kStateAwaitingLoader);
    EXPECT_TRUE(u.dialogs.transfers.empty());
    EXPECT_TRUE(StopEndsIdle(u.bench));
    EXPECT_FALSE(u.Kept());
}

TEST(FirmwareFaults, UnpluggedInTheLoaderDialogueLeavesStopWithoutSpinning) {
    UpdateBench u({"--unplug-at", "loader-dialogue"});
    u.bench.Command(res::ID_UPDATE_FIRMWARE);
    ASSERT_TRUE(u.bench.WaitFor([&] { return !u.bench.Events("unplug").empty(); }, 10s));
    CpuWatch cpu;
    u.bench.RunUntil([] { return false; }, 1500ms);
    EXPECT_LT(cpu.Share(), 0.9);
    EXPECT_TRUE(u.dialogs.transfers.empty());
    EXPECT_TRUE(StopEndsIdle(u.bench));
    EXPECT_FALSE(u.Kept());
}

TEST(FirmwareFaults, ReceiverThatNaksEveryBlockFailsTheTransfer) {
    UpdateBench u({"--nak-all"});
    u.bench.Command(res::ID_UPDATE_FIRMWARE);
    EXPECT_EQ(u.Outcome(), res::IDS_TRANSFER_FAILED);
    EXPECT_EQ(u.bench.view.m_nConnectState, kStateIdle);
    EXPECT_EQ(u.dialogs.stuck, 0);
    EXPECT_FALSE(u.Kept());
}

TEST(FirmwareFaults, ReceiverCancellingMidTransferFailsIt) {
    UpdateBench u({"--cancel-at-block", "3"});
    u.bench.Command(res::ID_UPDATE_FIRMWARE);
    EXPECT_EQ(u.Outcome(), res::IDS_TRANSFER_FAILED);
    EXPECT_EQ(u.bench.view.m_nConnectState, kStateIdle);
    EXPECT_FALSE(u.Kept());
}

// Garbage for ever after the first block: the sender gives the block up and
// stops draining after its limit instead of listening for ever.
TEST(FirmwareFaults, ReceiverThatNeverFallsSilentFailsTheTransfer) {
    UpdateBench u({"--babble-after", "1"});
    u.bench.Command(res::ID_UPDATE_FIRMWARE);
    EXPECT_EQ(u.Outcome(25s), res::IDS_TRANSFER_FAILED);
    EXPECT_EQ(u.dialogs.stuck, 0);
    EXPECT_EQ(u.bench.view.m_nConnectState, kStateIdle);
    EXPECT_FALSE(u.Kept());
}

// Noise on what the loader sends, or bytes of it lost, spoil its prompt or its
// answers: the hand-shake may stall (Stop ends it) or blocks are sent again,
// but an image the device keeps is the file, and a success is borne out by it.
TEST(FirmwareFaults, NoiseOrLossOnTheLoaderLineNeverKeepsABadImage) {
    // The image is compared only where a run got it through: some run must.
    int checked = 0;
    for (const char* option : {"--noise", "--drop"}) {
        for (const char* seed : {"1", "2"}) {
            SCOPED_TRACE(std::string(option) + " seed " + seed);
            UpdateBench u({option, "0.01", "--seed", seed});
            u.bench.Command(res::ID_UPDATE_FIRMWARE);
            const fw::UINT outcome = u.Outcome(12s);
            if (outcome == res::IDS_TRANSFER_SUCCEEDED) {
                ASSERT_TRUE(u.bench.WaitFor(
                    [&] { return u.Received().size() >= u.Expected().size(); }, 3s));
                EXPECT_EQ(u.Received(), u.Expected());
            } else if (outcome == 0) {
                EXPECT_TRUE(StopEndsIdle(u.bench));
            }
            if (u.Kept()) {
                ++checked;
                EXPECT_EQ(u.Received(), u.Expected());
            }
        }
    }
    EXPECT_GT(checked, 0) << "no run kept an image: none was checked";
}

TEST(FirmwareFaults, UnpluggedInTheDebugLogLeavesStopWithoutSpinning) {
    Workbench bench({"--unplug-at", "debug-log:300", "--loader-ms", "200"});
    bench.Command(res::ID_SHOW_DEBUG_INFO);
    EXPECT_EQ(bench.view.m_nConnectState, kStateDebugLog);
    ASSERT_TRUE(bench.WaitFor([&] { return !bench.Events("unplug").empty(); }, 5s));
    CpuWatch cpu;
    bench.RunUntil([] { return false; }, 1500ms);
    EXPECT_LT(cpu.Share(), 0.9);
    EXPECT_EQ(bench.view.m_nConnectState, kStateDebugLog);
    EXPECT_TRUE(bench.window.MessageBoxTexts().empty());
    EXPECT_TRUE(StopEndsIdle(bench));
}

}  // namespace
