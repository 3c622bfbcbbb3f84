// The transfer dialog on its own: the test opens the port as the update flow
// leaves it and plays the boot loader's XMODEM receiver on the pty.
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

// What the receiver gets for an image: whole blocks, SUB and zeros behind it.
std::string Padded(const std::string& image) {
    std::string padded = image;
    if (padded.size() % 128 != 0) {
        padded += '\x1A';
        padded.resize((padded.size() + 127) / 128 * 128, '\0');
    }
    return padded;
}

TEST(TransferDialog, SuccessReportsAndDeliversTheImageWhileEnterCannotEndIt) {
    DialogBench bench;
    const std::string image = Pattern(1000);  // the last block ends the count at 1024
    const std::string path = bench.File(image);
    ReceivedTransfer received;
    std::thread loader([&] { received = ReceiveXmodem(bench.pty, 'C'); });
    bool endedByEnter = true;
    bench.dialogs.whileOpen = [&](testsupport::ScriptedWindow&, CTransferDlg& dialog) {
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDOK), 0);
        endedByEnter = dialog.IsEnded();
    };
    EXPECT_EQ(bench.Run(path), fw::IDOK);
    loader.join();

    EXPECT_FALSE(endedByEnter);
    ASSERT_EQ(bench.dialogs.transfers.size(), 1u);
    const auto& shown = bench.dialogs.transfers[0];
    EXPECT_TRUE(shown.hadWorker);
    EXPECT_EQ(shown.pathShown, path);
    EXPECT_TRUE(shown.readOnlyPath);
    EXPECT_EQ(shown.range, std::make_pair(0, 1000));
    ASSERT_EQ(shown.boxes.size(), 1u);
    EXPECT_EQ(shown.boxes[0].textId, res::IDS_TRANSFER_SUCCEEDED);
    EXPECT_EQ(shown.boxes[0].captionId, res::IDS_TRANSFER_INFO_CAPTION);
    EXPECT_EQ(shown.boxes[0].type, fw::MB_OK | fw::MB_ICONINFORMATION);
    EXPECT_EQ(shown.progressAtBox, 1000);
    EXPECT_TRUE(received.ended);
    EXPECT_EQ(received.data, Padded(image));
}

TEST(TransferDialog, FailureIsReportedAndStillEndsWithOk) {
    DialogBench bench;
    const std::string path = bench.File(Pattern(300));
    std::thread loader([&] {
        // The receiver takes one block, then cancels.
        ReceiveXmodem(bench.pty, xmodem::NAK, 1);
        bench.pty.Write("\x18\x18");
    });
    EXPECT_EQ(bench.Run(path), fw::IDOK);
    loader.join();
    ASSERT_EQ(bench.dialogs.transfers.size(), 1u);
    const auto& shown = bench.dialogs.transfers[0];
    ASSERT_EQ(shown.boxes.size(), 1u);
    EXPECT_EQ(shown.boxes[0].textId, res::IDS_TRANSFER_FAILED);
    EXPECT_EQ(shown.boxes[0].captionId, res::IDS_TRANSFER_ERROR_CAPTION);
    EXPECT_EQ(shown.boxes[0].type, fw::MB_OK | fw::MB_ICONINFORMATION);
    EXPECT_EQ(bench.dialogs.stuck, 0);
}

TEST(TransferDialog, EmptyOrMissingFileStartsNothingAndWaitsForCancel) {
    DialogBench bench;
    for (const std::string& path : {bench.File(""), (bench.dir.Path() / "missing.bin").string()}) {
        bool stillOpen = false;
        int progress = -1;
        bench.dialogs.whileOpen = [&](testsupport::ScriptedWindow& window, CTransferDlg& dialog) {
            bench.loop.RunFor(300ms);
            stillOpen = !dialog.IsEnded();
            progress = window.ProgressPos(res::IDC_TRANSFER_PROGRESS);
            dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
        };
        EXPECT_EQ(bench.Run(path), fw::IDCANCEL) << path;
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(progress, 0);
        const auto& shown = bench.dialogs.transfers.back();
        EXPECT_FALSE(shown.hadWorker);
        EXPECT_TRUE(shown.boxes.empty());
    }
    EXPECT_EQ(bench.pty.ReadFor(200ms), "");
}

TEST(TransferDialog, CancelDuringTheStartPhaseEndsSilentlyAndTheWorkerSendsNothingMore) {
    DialogBench bench;
    const std::string path = bench.File(Pattern(500));
    bench.dialogs.whileOpen = [&](testsupport::ScriptedWindow&, CTransferDlg& dialog) {
        bench.loop.RunFor(300ms);  // the worker waits for the start signal
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
        EXPECT_FALSE(dialog.HasWorker());
    };
    EXPECT_EQ(bench.Run(path), fw::IDCANCEL);
    EXPECT_TRUE(bench.dialogs.transfers[0].boxes.empty());
    // Nothing at all reaches the receiver, not even a late start or a CAN.
    bench.pty.Write("C");
    EXPECT_EQ(bench.pty.ReadFor(2500ms), "");
}

TEST(ProgressBar, PositionStaysInsideTheRange) {
    DialogBench bench;
    // The bar as the dialog uses it, on the headless window.
    CTransferDlg dialog;
    testsupport::ScriptedWindow window(bench.loop, dialog, res::IDD_TRANSFER);
    dialog.UpdateData(false);
    dialog.m_ctrlProgress.SetRange(0, 1000);
    dialog.m_ctrlProgress.SetPos(1024);
    EXPECT_EQ(window.ProgressPos(res::IDC_TRANSFER_PROGRESS), 1000);
    dialog.m_ctrlProgress.SetPos(-5);
    EXPECT_EQ(window.ProgressPos(res::IDC_TRANSFER_PROGRESS), 0);
    dialog.m_ctrlProgress.SetPos(420);
    EXPECT_EQ(window.ProgressPos(res::IDC_TRANSFER_PROGRESS), 420);
}

}  // namespace
