// The device pulled off the line in the middle of a transfer. Slow: the
// sender gives up only after its whole retry budget (about 52 s).
#include <gtest/gtest.h>

#include "FaultBench.h"
#include "FirmwareBench.h"

using namespace std::chrono_literals;

namespace {

TEST(FirmwareFaultsSlow, UnpluggedMidTransferFailsWithoutSpinningAndKeepsNoImage) {
    testsupport::TempDir out;
    std::ofstream(out.Path() / "quiet.txt");
    testsupport::Workbench bench({"--unplug-at", "mid-transfer:2", "--firmware-out",
                                  (out.Path() / "received.bin").string(), "--debug-text",
                                  (out.Path() / "quiet.txt").string()});
    testsupport::FirmwareDialogs dialogs(bench.loop);
    dialogs.limit = 90s;
    const auto path = out.Path() / "fw.bin";
    std::ofstream(path, std::ios::binary) << testsupport::Pattern(128 * 8);
    bench.view.m_strFirmwarePath = path.string();

    bench.Command(res::ID_UPDATE_FIRMWARE);
    faults::CpuWatch cpu;
    ASSERT_TRUE(bench.RunUntil([&] { return !dialogs.transfers.empty(); }, 80s));
    EXPECT_LT(cpu.Share(), 0.5);
    ASSERT_EQ(dialogs.transfers[0].boxes.size(), 1u);
    EXPECT_EQ(dialogs.transfers[0].boxes[0].textId, res::IDS_TRANSFER_FAILED);
    EXPECT_EQ(dialogs.stuck, 0);
    EXPECT_EQ(bench.view.m_nConnectState, kStateIdle);
    EXPECT_EQ(bench.Events("unplug").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(out.Path() / "received.bin"));
}

}  // namespace
