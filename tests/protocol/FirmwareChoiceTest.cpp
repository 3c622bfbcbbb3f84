// The firmware file as the view finds it when the boot loader asks for it:
// empty, gone since it was chosen, unreadable. None opens the transfer dialog;
// each says why, and Stop leaves the device in its loader. A device, a FIFO, a
// folder or an oversized file never gets that far: the port stays closed.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PseudoTerminal.h"
#include "ScriptedWindow.h"
#include "SimProcess.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "res/ResourceIds.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Counts the transfer dialogs that would have run; the chooser is never
// expected here (a path is always set).
class CountingDialogs : public fw::IDialogHost {
public:
    CountingDialogs() { fw::SetDialogHost(this); }
    ~CountingDialogs() override { fw::SetDialogHost(nullptr); }
    int RunModal(fw::CDialog& dialog, fw::CWnd*) override {
        ++modal;
        dialog.EndDialog(fw::IDCANCEL);
        return fw::IDCANCEL;
    }
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest&) override {
        ++choosers;
        return choice;
    }
    int modal = 0;
    int choosers = 0;
    std::optional<std::string> choice;
};

class FirmwareChoice : public ::testing::Test {
protected:
    FirmwareChoice() : window_(loop_, view_, res::IDD_TIRVEL2_FORM, fw::Language::English) {
        AfxSetMainFrame(&frame_);
        view_.m_strDevicePath = pty_.SlavePath();
        view_.OnInitialUpdate();
    }
    ~FirmwareChoice() override {
        frame_.OnClose();
        AfxSetMainFrame(nullptr);
    }

    void Tick() {
        pollfd pfd{view_.m_hComPort, POLLIN, 0};
        ::poll(&pfd, 1, 1000);
        view_.WindowProc(fw::WM_TIMER, 1, 0);
    }

    // Update File with the path already chosen, through the hand-shake to the
    // loader's NAK; returns the boxes shown.
    std::vector<fw::UINT> UpdateWith(const std::string& path) {
        window_.ClearMessageBoxes();
        view_.m_strFirmwarePath = path;
        window_.Command(res::ID_UPDATE_FIRMWARE);
        EXPECT_EQ(view_.m_nConnectState, kStateAwaitingLoader);
        pty_.ReadUntil(std::string(25, 'u'), 2s);
        pty_.Write("Kavrel boot loader\r\n");
        Tick();
        EXPECT_EQ(view_.m_nConnectState, kStateLoaderDialogue);
        pty_.ReadFor(150ms);
        pty_.Write(std::string(1, '\x15'));
        Tick();
        EXPECT_EQ(view_.m_nConnectState, kStateIdle);
        EXPECT_EQ(view_.m_hComPort, INVALID_HANDLE_VALUE);
        // The chosen path stays: the operator may fix the file and try again.
        EXPECT_EQ(view_.m_strFirmwarePath, path);
        return window_.MessageBoxTexts();
    }

    testsupport::PseudoTerminal pty_;
    testsupport::TempDir dir_;
    fw::CMessageLoop loop_;
    CMainFrame frame_;
    CTirvel2View view_;
    testsupport::ScriptedWindow window_;
    CountingDialogs dialogs_;
};

TEST_F(FirmwareChoice, EmptyVanishedOrUnreadableFileOpensNoTransfer) {
    const fs::path empty = dir_.Path() / "empty.bin";
    std::ofstream(empty, std::ios::binary).flush();
    EXPECT_EQ(UpdateWith(empty.string()), std::vector<fw::UINT>{res::IDS_FIRMWARE_EMPTY});
    EXPECT_EQ(window_.MessageBoxes()[0].args, fw::MessageArgs{empty.string()});

    const fs::path gone = dir_.Path() / "gone.bin";
    std::ofstream(gone, std::ios::binary) << "image";
    fs::remove(gone);
    EXPECT_EQ(UpdateWith(gone.string()), std::vector<fw::UINT>{res::IDS_FIRMWARE_UNREADABLE});
#ifdef __linux__
    EXPECT_EQ(UpdateWith("/proc/self/mem"), std::vector<fw::UINT>{res::IDS_FIRMWARE_UNREADABLE});
#endif
    EXPECT_EQ(dialogs_.modal, 0);
    EXPECT_EQ(dialogs_.choosers, 0);
    // Nothing but the hand-shake reached the loader: no block, no EOT.
    EXPECT_EQ(pty_.ReadFor(100ms), "");
}

TEST_F(FirmwareChoice, ADeviceFifoFolderOrOversizedFileIsRefusedBeforeThePortOpens) {
    const fs::path fifo = dir_.Path() / "fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir_.Path() / "folder.bin");
    const fs::path big = dir_.Path() / "big.bin";
    std::ofstream(big, std::ios::binary) << "x";
    fs::resize_file(big, 64 * 1024 * 1024 + 1);  // sparse
    const std::vector<std::pair<std::string, fw::UINT>> refused = {
        {"/dev/zero", res::IDS_FIRMWARE_NOT_REGULAR},
        {fifo.string(), res::IDS_FIRMWARE_NOT_REGULAR},
        {(dir_.Path() / "folder.bin").string(), res::IDS_FIRMWARE_NOT_REGULAR},
        {big.string(), res::IDS_FIRMWARE_TOO_LARGE},
    };
    for (const auto& [path, message] : refused) {
        window_.ClearMessageBoxes();
        view_.m_strFirmwarePath = path;
        window_.Command(res::ID_UPDATE_FIRMWARE);
        EXPECT_EQ(view_.m_nConnectState, kStateIdle) << path;
        EXPECT_EQ(view_.m_hComPort, INVALID_HANDLE_VALUE) << path;
        ASSERT_EQ(window_.MessageBoxTexts(), std::vector<fw::UINT>{message}) << path;
        EXPECT_EQ(window_.MessageBoxes()[0].args.at(0), path);
    }
    EXPECT_EQ(window_.MessageBoxes()[0].args.at(1), "64");
    // Not a single break-in byte: the device never went into its loader.
    EXPECT_EQ(pty_.ReadFor(300ms), "");

    // Chosen in the file dialog, a FIFO is refused there and replaces the
    // earlier choice with none, so no update sends the earlier file unasked.
    view_.m_strFirmwarePath = big.string();
    window_.ClearMessageBoxes();
    dialogs_.choice = fifo.string();
    window_.Command(res::ID_SELECT_FIRMWARE);
    EXPECT_EQ(window_.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_FIRMWARE_NOT_REGULAR});
    EXPECT_TRUE(view_.m_strFirmwarePath.empty());
    EXPECT_EQ(dialogs_.modal, 0);
}

TEST_F(FirmwareChoice, UnreadableFileOpensNoTransfer) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root, which reads a file of mode 000 all the same "
                        "(/proc/self/mem stands in for it in the case above)";
    }
    const fs::path locked = dir_.Path() / "locked.bin";
    std::ofstream(locked, std::ios::binary) << "image";
    fs::permissions(locked, fs::perms::none);
    EXPECT_EQ(UpdateWith(locked.string()), std::vector<fw::UINT>{res::IDS_FIRMWARE_UNREADABLE});
    EXPECT_EQ(dialogs_.modal, 0);
}

}  // namespace
