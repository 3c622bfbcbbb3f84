// The firmware file as the view finds it when the boot loader asks for it:
// empty, a folder, gone since it was chosen, unreadable. None opens the
// transfer dialog; each says why, and Stop leaves the device in its loader.
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
        return std::nullopt;
    }
    int modal = 0;
    int choosers = 0;
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

TEST_F(FirmwareChoice, EmptyFolderOrVanishedFileOpensNoTransfer) {
    const fs::path empty = dir_.Path() / "empty.bin";
    std::ofstream(empty, std::ios::binary).flush();
    EXPECT_EQ(UpdateWith(empty.string()), std::vector<fw::UINT>{res::IDS_FIRMWARE_EMPTY});
    EXPECT_EQ(window_.MessageBoxes()[0].args, fw::MessageArgs{empty.string()});

    fs::create_directory(dir_.Path() / "folder.bin");
    EXPECT_EQ(UpdateWith((dir_.Path() / "folder.bin").string()),
              std::vector<fw::UINT>{res::IDS_FIRMWARE_UNREADABLE});

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
