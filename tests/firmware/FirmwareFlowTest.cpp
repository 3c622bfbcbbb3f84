// The view's firmware update and debug log, with the test playing the boot
// loader on a pty. Poll-timer ticks are driven one at a time, so what each tick
// sees is exactly what the loader wrote before it.
#include <gtest/gtest.h>

#include <thread>

#include "FirmwareBench.h"
#include "form/ControlIds.h"
#include "res/ResourceIds.h"

using namespace std::chrono_literals;
using testsupport::FlowBench;
using testsupport::ReceivedTransfer;
using testsupport::ReceiveXmodem;

namespace {

const std::string kBurst(25, 'u');
constexpr char kNak = 0x15;

// Update File, with the first burst taken off the line.
void StartUpdate(FlowBench& bench) {
    bench.window.Command(res::ID_UPDATE_FIRMWARE);
    ASSERT_EQ(bench.view.m_nConnectState, kStateAwaitingLoader);
    ASSERT_EQ(bench.pty.ReadUntil(kBurst, 2s), kBurst);
}

// Into the loader dialogue with a banner line.
void ReachLoader(FlowBench& bench) {
    StartUpdate(bench);
    bench.pty.Write("Kavrel boot loader\r\n");
    bench.Tick();
    ASSERT_EQ(bench.view.m_nConnectState, kStateLoaderDialogue);
    ASSERT_EQ(bench.pty.ReadFor(150ms), "\r");
}

void ExpectStoppedIdle(FlowBench& bench) {
    EXPECT_EQ(bench.view.m_nConnectState, kStateIdle);
    EXPECT_EQ(bench.frame.ConnectionState(), kStateIdle);
    EXPECT_EQ(bench.view.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bench.loop.HasTimer(&bench.view, 1));
    EXPECT_FALSE(bench.loop.HasTimer(&bench.view, 2));
    EXPECT_EQ(bench.view.m_nPollTimer, 0u);
    EXPECT_EQ(bench.view.m_nStartupTimer, 0u);
}

TEST(FirmwareFlow, HandshakeNeedsALineWithinOneTickAndAnAccumulatedPrompt) {
    FlowBench bench;
    StartUpdate(bench);
    EXPECT_EQ(bench.frame.ConnectionState(), kStateAwaitingLoader);
    EXPECT_TRUE(bench.frame.IsCommandEnabled(res::ID_STOP_CONFIG));
    EXPECT_FALSE(bench.frame.IsCommandEnabled(res::ID_UPDATE_FIRMWARE));
    EXPECT_TRUE(bench.loop.HasTimer(&bench.view, 1));
    EXPECT_TRUE(bench.loop.HasTimer(&bench.view, 2));

    // A line split over two ticks is no line: each tick answers with a burst.
    bench.pty.Write("Boot");
    bench.Tick();
    EXPECT_EQ(bench.pty.ReadFor(100ms), kBurst);
    bench.pty.Write("\r\n");
    bench.Tick();
    EXPECT_EQ(bench.pty.ReadFor(100ms), kBurst);
    EXPECT_EQ(bench.view.m_nConnectState, kStateAwaitingLoader);

    // The line that is recognised carries a prompt, which is not answered: that
    // chunk never reaches the prompt buffer.
    bench.view.m_strPromptBuffer.clear();
    bench.pty.Write("Kavrel loader\r\nUpdate? [Y/N]");
    bench.Tick();
    EXPECT_EQ(bench.view.m_nConnectState, kStateLoaderDialogue);
    EXPECT_EQ(bench.frame.ConnectionState(), kStateAwaitingLoader);
    EXPECT_EQ(bench.pty.ReadFor(150ms), "\r");
    EXPECT_FALSE(bench.loop.HasTimer(&bench.view, 2));
    EXPECT_EQ(bench.view.m_nStartupTimer, 0u);
    EXPECT_TRUE(bench.loop.HasTimer(&bench.view, 1));
    bench.Tick(false);
    EXPECT_EQ(bench.pty.ReadFor(100ms), "");

    // A prompt split over two chunks is put together.
    bench.pty.Write("Update? [Y");
    bench.Tick();
    EXPECT_EQ(bench.pty.ReadFor(100ms), "");
    bench.pty.Write("/N]");
    bench.Tick();
    EXPECT_EQ(bench.pty.ReadFor(200ms), "y\r");
    EXPECT_EQ(bench.view.m_strPromptBuffer, "");

    // Stop in the loader dialogue.
    bench.window.Command(res::ID_STOP_CONFIG);
    ExpectStoppedIdle(bench);
    EXPECT_TRUE(bench.window.MessageBoxes().empty());
}

TEST(FirmwareFlow, StopWhileAwaitingTheLoaderClosesThePort) {
    FlowBench bench;
    StartUpdate(bench);
    bench.window.Command(res::ID_STOP_CONFIG);
    ExpectStoppedIdle(bench);
    EXPECT_EQ(bench.pty.ReadFor(300ms), "");  // no more bursts
}

TEST(FirmwareFlow, PromptAndNakInOneChunkAnswerThenTransfer) {
    FlowBench bench;
    const std::string image(300, '\x5A');
    bench.view.m_strFirmwarePath = bench.WriteFirmware("fw.bin", image);
    ReachLoader(bench);

    ReceivedTransfer received;
    std::thread loader([&] {
        bench.pty.Write(std::string("Update firmware? [Y/N]") + kNak);
        // The answer comes before anything of the transfer.
        const std::string answer = bench.pty.ReadUntil("y\r", 3s);
        received = ReceiveXmodem(bench.pty, 'C');
        received.before = answer + received.before;
    });
    bench.Tick();
    loader.join();

    EXPECT_EQ(received.before, "y\r");
    EXPECT_TRUE(received.ended);
    EXPECT_EQ(received.data.substr(0, image.size()), image);
    EXPECT_TRUE(bench.dialogs.fileRequests.empty());
    ASSERT_EQ(bench.dialogs.transfers.size(), 1u);
    ASSERT_EQ(bench.dialogs.transfers[0].boxes.size(), 1u);
    EXPECT_EQ(bench.dialogs.transfers[0].boxes[0].textId, res::IDS_TRANSFER_SUCCEEDED);
    ExpectStoppedIdle(bench);
    EXPECT_FALSE(bench.pty.SlaveIsOpen());
}

TEST(FirmwareFlow, FirmwareIsChosenWhenTheLoaderAsksAndReusedAfterwards) {
    FlowBench bench;
    // Not empty: an empty image is refused before any transfer dialog opens.
    const std::string image = bench.WriteFirmware("image.bin", testsupport::Pattern(300));
    int cancelled = 0;
    bench.dialogs.whileOpen = [&](testsupport::ScriptedWindow&, CTransferDlg& dialog) {
        ++cancelled;
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
    };

    ReachLoader(bench);
    EXPECT_TRUE(bench.dialogs.fileRequests.empty());
    bench.dialogs.files.push_back(image);
    bench.pty.Write(std::string(1, kNak));
    bench.Tick();
    ASSERT_EQ(bench.dialogs.fileRequests.size(), 1u);
    const fw::FileDialogRequest& request = bench.dialogs.fileRequests[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.filter, "Firmware File (*.bin;*.img)|*.bin;*.img|All Files (*.*)|*.*||");
    EXPECT_EQ(request.title, "Please select new firmware file");
    EXPECT_EQ(bench.view.m_strFirmwarePath, image);
    EXPECT_EQ(cancelled, 1);
    ExpectStoppedIdle(bench);

    // The next device: no dialog, the same file.
    ReachLoader(bench);
    bench.pty.Write(std::string(1, kNak));
    bench.Tick();
    EXPECT_EQ(bench.dialogs.fileRequests.size(), 1u);
    ASSERT_EQ(bench.dialogs.transfers.size(), 2u);
    EXPECT_EQ(bench.dialogs.transfers[1].pathShown, image);
    ExpectStoppedIdle(bench);
}

TEST(FirmwareFlow, NoTransferWhenTheChooserIsCancelledOrTheFileUnreadable) {
    FlowBench bench;
    ReachLoader(bench);
    bench.pty.Write(std::string(1, kNak));
    bench.Tick();  // the chooser is cancelled (no file queued)
    EXPECT_EQ(bench.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(bench.dialogs.transfers.empty());
    EXPECT_TRUE(bench.view.m_strFirmwarePath.empty());
    ExpectStoppedIdle(bench);
    EXPECT_TRUE(bench.window.MessageBoxes().empty());

    bench.view.m_strFirmwarePath = (bench.dir.Path() / "gone.bin").string();
    ReachLoader(bench);
    bench.pty.Write(std::string(1, kNak));
    bench.Tick();
    EXPECT_TRUE(bench.dialogs.transfers.empty());
    ASSERT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_FIRMWARE_UNREADABLE});
    EXPECT_EQ(bench.window.MessageBoxes()[0].args, fw::MessageArgs{bench.view.m_strFirmwarePath});
    ExpectStoppedIdle(bench);
}

TEST(FirmwareFlow, PortThatCannotBeOpenedStaysIdle) {
    FlowBench bench;
    bench.view.m_strDevicePath = (bench.dir.Path() / "no-port").string();
    bench.window.Command(res::ID_UPDATE_FIRMWARE);
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_OPEN_PORT_FAILED});
    EXPECT_EQ(bench.view.m_nConnectState, kStateIdle);
    EXPECT_FALSE(bench.loop.HasTimer(&bench.view, 1));

    // Show Log switches to log mode all the same.
    bench.window.ClearMessageBoxes();
    bench.window.Command(res::ID_SHOW_DEBUG_INFO);
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_OPEN_PORT_FAILED});
    EXPECT_EQ(bench.view.m_nConnectState, kStateIdle);
    EXPECT_TRUE(bench.window.Visible(res::IDC_LOG_PANE));
    EXPECT_FALSE(bench.window.Visible(res::IDC_HELP_PANE));
}

TEST(FirmwareFlow, LoaderLimitRepeatsWhileTheBoxIsOpenThenLeavesOnlyStop) {
    FlowBench bench;
    bench.view.m_nLoaderLimitMs = 400;
    std::string burstsWhileOpen;
    int depth = 0;
    bench.window.onMessageBox = [&](const fw::RecordedMessageBox&) {
        if (++depth == 1) {
            // The box stays open: the poll timer goes on, and the limit fires again.
            bench.loop.RunUntil([&] { return bench.window.MessageBoxes().size() >= 2; }, 3s);
            burstsWhileOpen = bench.pty.ReadFor(50ms);
        }
        --depth;
        return fw::IDOK;
    };
    StartUpdate(bench);
    bench.loop.RunUntil([&] { return !bench.window.MessageBoxes().empty(); }, 3s);

    EXPECT_EQ(bench.window.MessageBoxTexts(),
              (std::vector<fw::UINT>{res::IDS_LOADER_TIMEOUT, res::IDS_LOADER_TIMEOUT}));
    EXPECT_GE(burstsWhileOpen.size(), kBurst.size());
    EXPECT_EQ(bench.view.m_nConnectState, kStateAwaitingLoader);
    EXPECT_NE(bench.view.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bench.loop.HasTimer(&bench.view, 1));
    EXPECT_FALSE(bench.loop.HasTimer(&bench.view, 2));
    bench.pty.ReadFor(100ms);
    bench.loop.RunFor(500ms);
    EXPECT_EQ(bench.pty.ReadFor(50ms), "");  // nothing polls any more
    EXPECT_TRUE(bench.frame.IsCommandEnabled(res::ID_STOP_CONFIG));
    for (fw::UINT id : {res::ID_START_CONFIG, res::ID_UPDATE_FIRMWARE, res::ID_SELECT_FIRMWARE,
                        res::ID_SHOW_DEBUG_INFO, res::ID_SETTINGS}) {
        EXPECT_FALSE(bench.frame.IsCommandEnabled(id)) << id;
    }
    bench.window.Command(res::ID_STOP_CONFIG);
    ExpectStoppedIdle(bench);
}

TEST(FirmwareFlow, LoaderLineWhileTheLimitBoxIsOpenLeavesTheDialogueUnpolled) {
    FlowBench bench;
    bench.view.m_nLoaderLimitMs = 300;
    bench.window.onMessageBox = [&](const fw::RecordedMessageBox&) {
        bench.pty.Write("Loader\r\n");
        bench.loop.RunUntil([&] { return bench.view.m_nConnectState == kStateLoaderDialogue; }, 3s);
        return fw::IDOK;
    };
    StartUpdate(bench);
    bench.loop.RunUntil([&] { return !bench.window.MessageBoxes().empty(); }, 3s);
    EXPECT_EQ(bench.view.m_nConnectState, kStateLoaderDialogue);
    EXPECT_FALSE(bench.loop.HasTimer(&bench.view, 1));
    EXPECT_EQ(bench.window.MessageBoxes().size(), 1u);
    bench.window.Command(res::ID_STOP_CONFIG);
    ExpectStoppedIdle(bench);
}

TEST(DebugLog, ShowsDeviceOutputInLogModeUntilTheNextStart) {
    FlowBench bench;
    bench.window.Command(res::ID_SHOW_DEBUG_INFO);
    EXPECT_EQ(bench.view.m_nConnectState, kStateDebugLog);
    EXPECT_EQ(bench.frame.ConnectionState(), kStateDebugLog);
    for (int id : {res::IDC_HELP_PANE, res::IDC_IMEI, ItemLabelId(1), ItemNewId(60),
                   res::IDC_EXPORT_CONFIG}) {
        EXPECT_FALSE(bench.window.Visible(id)) << id;
    }
    for (int id : {res::IDC_LOG_PANE, res::IDC_CLEAR_LOG, res::IDC_SAVE_LOG}) {
        EXPECT_TRUE(bench.window.Visible(id)) << id;
    }
    EXPECT_EQ(bench.window.SizePixels(res::IDC_LOG_PANE), std::make_pair(680, 500));
    EXPECT_EQ(bench.window.Focus(), res::IDC_LOG_PANE);

    auto logShows = [&](const std::string& text) {
        return bench.loop.RunUntil([&] { return bench.window.Text(res::IDC_LOG_PANE) == text; },
                                   3s);
    };
    bench.pty.Write("boot AB");
    EXPECT_TRUE(logShows("boot AB"));
    // An erase sequence in one chunk costs exactly one character.
    bench.pty.Write("\b \b");
    EXPECT_TRUE(logShows("boot A"));
    bench.pty.Write("CD\r\n");
    EXPECT_TRUE(logShows("boot ACD\r\n"));
    EXPECT_EQ(bench.pty.Drain(), "");  // the log never talks to the device

    bench.window.Command(res::ID_STOP_CONFIG);
    ExpectStoppedIdle(bench);
    EXPECT_TRUE(bench.window.Visible(res::IDC_LOG_PANE));
    EXPECT_TRUE(bench.window.Visible(res::IDC_SAVE_LOG));
    EXPECT_FALSE(bench.window.Visible(ItemLabelId(1)));
    EXPECT_EQ(bench.view.m_ctrlLog.GetTextBytes(), "boot ACD\r\n");

    bench.window.Command(res::ID_START_CONFIG);
    EXPECT_FALSE(bench.window.Visible(res::IDC_LOG_PANE));
    EXPECT_FALSE(bench.window.Visible(res::IDC_CLEAR_LOG));
    EXPECT_TRUE(bench.window.Visible(res::IDC_HELP_PANE));
    EXPECT_TRUE(bench.window.Visible(ItemLabelId(1)));
    bench.window.Command(res::ID_STOP_CONFIG);
}

}  // namespace
