// The whole update against kavrel-sim's boot loader: break-in, prompt, NAK,
// the transfer dialog and Stop, with the image arriving byte for byte.
#include <gtest/gtest.h>

#include <fstream>

#include "FirmwareBench.h"
#include "TestFiles.h"
#include "Workbench.h"
#include "res/ResourceIds.h"

using namespace std::chrono_literals;

namespace {

using testsupport::ReadFile;

TEST(FirmwareEndToEnd, SimulatedLoaderReceivesTheImage) {
    testsupport::TempDir out;
    const auto received = out.Path() / "received.bin";
    testsupport::Workbench bench({"--start", "crc", "--firmware-out", received.string()});
    testsupport::FirmwareDialogs dialogs(bench.loop);  // replaces the bench's host
    const std::string image = testsupport::Pattern(128 * 9 + 77);
    const auto path = out.Path() / "fw.bin";
    std::ofstream(path, std::ios::binary) << image;
    bench.view.m_strFirmwarePath = path.string();

    bench.Command(res::ID_UPDATE_FIRMWARE);
    ASSERT_TRUE(bench.RunUntil([&] { return !dialogs.transfers.empty(); }, 20s));
    EXPECT_EQ(bench.view.m_nConnectState, kStateIdle);
    ASSERT_EQ(dialogs.transfers[0].boxes.size(), 1u);
    EXPECT_EQ(dialogs.transfers[0].boxes[0].textId, res::IDS_TRANSFER_SUCCEEDED);

    std::string expected = image + '\x1A';
    expected.resize((expected.size() + 127) / 128 * 128, '\0');
    ASSERT_TRUE(bench.RunUntil([&] { return ReadFile(received).size() >= expected.size(); }, 5s));
    EXPECT_EQ(ReadFile(received), expected);
}

}  // namespace
