// Faults whose only end is a long limit: the device pulled off the line in
// the middle of a transfer (the sender's whole retry budget, about 52 s), and
// a loader that goes quiet in its dialogue under tirvelctl (30 s).
#include <gtest/gtest.h>

#include "FaultBench.h"
#include "FirmwareBench.h"
#include "TestFiles.h"

using namespace std::chrono_literals;

namespace {

using testsupport::ReadFile;

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

// tirvelctl has no operator to press Stop: a loader whose dialogue went dead,
// here pulled off the line at its banner, ends the update as a failure after
// the loader limit instead of keeping the script waiting for ever.
TEST(FirmwareFaultsSlow, TirvelctlGivesUpOnALoaderThatWentQuietInItsDialogue) {
    testsupport::TempDir dir;
    const auto link = dir.Path() / "dtu";
    std::ofstream(dir.Path() / "quiet.txt");
    testsupport::SimProcess sim({"--link", link.string(), "--boot-ms", "200", "--unplug-at",
                                 "loader-dialogue", "--firmware-out",
                                 (dir.Path() / "received.bin").string(), "--debug-text",
                                 (dir.Path() / "quiet.txt").string()});
    const auto image = dir.Path() / "fw.bin";
    std::ofstream(image, std::ios::binary) << testsupport::Pattern(300);
    const auto err = dir.Path() / "err.txt";
    EXPECT_EQ(
        faults::RunTirvelctl({"-d", link.string(), "--lang", "en", "-q", "update", image.string()},
                             dir.Path() / "out.txt", err, 50s),
        1);
    EXPECT_NE(ReadFile(err).find("Kavrel startup timeout!"), std::string::npos) << ReadFile(err);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "received.bin"));
}

}  // namespace
