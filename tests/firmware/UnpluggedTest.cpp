// The cable pulled in the middle of a transfer. Slow: the sender gives up
// only after its full retry budget (about 50 s), which the test waits for.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <thread>

#include "FirmwareBench.h"
#include "firmware/Xmodem.h"
#include "res/ResourceIds.h"

using namespace std::chrono_literals;
using namespace testsupport;

namespace {

// The cable pulled in the middle: the sender runs out of retries on a line
// that is gone, and the dialog reports a failure rather than hanging.
TEST(TransferDialogSlow, DeviceUnpluggedMidTransferEndsInTheFailureBox) {
    DialogBench bench;
    bench.dialogs.limit = std::chrono::seconds(90);
    const std::string path = bench.File(Pattern(128 * 20));
    std::thread loader([&] {
        ReceiveXmodem(bench.pty, 'C', 3);
        bench.ptyHolder.reset();
    });
    EXPECT_EQ(bench.Run(path), fw::IDOK);
    loader.join();
    ASSERT_EQ(bench.dialogs.transfers.size(), 1u);
    ASSERT_EQ(bench.dialogs.transfers[0].boxes.size(), 1u);
    EXPECT_EQ(bench.dialogs.transfers[0].boxes[0].textId, res::IDS_TRANSFER_FAILED);
    EXPECT_EQ(bench.dialogs.stuck, 0);
}

}  // namespace
