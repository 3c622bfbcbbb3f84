// The view and the transfer dialog with a test playing the boot loader on a
// pseudo-terminal: a dialog host that keeps the message loop running while the
// transfer dialog is open (the worker's result and the progress timer arrive
// through it), and a minimal XMODEM receiver.
#pragma once

#include <chrono>
#include <deque>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ProgramState.h"
#include "PseudoTerminal.h"
#include "ScriptedWindow.h"
#include "SimProcess.h"
#include "firmware/TransferDlg.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "framework/MessageLoop.h"

namespace testsupport {

struct ShownTransfer {
    std::string pathShown;
    bool readOnlyPath = false;
    std::pair<int, int> range;
    bool hadWorker = false;
    std::vector<RecordedMessageBox> boxes;
    int progressAtBox = -1;  // the bar's position when the outcome box opened
    int result = 0;
};

class FirmwareDialogs : public fw::IDialogHost {
public:
    explicit FirmwareDialogs(fw::CMessageLoop& loop) : loop_(loop) { fw::SetDialogHost(this); }
    ~FirmwareDialogs() override { fw::SetDialogHost(nullptr); }

    // Runs once the transfer dialog has initialised; afterwards the loop runs
    // until the dialog ends by itself (or the time-out cancels it).
    std::function<void(ScriptedWindow&, CTransferDlg&)> whileOpen;
    std::chrono::milliseconds limit{20000};

    std::deque<std::optional<std::string>> files;
    std::vector<fw::FileDialogRequest> fileRequests;
    std::vector<ShownTransfer> transfers;
    int stuck = 0;  // dialogs that had to be cancelled at the time-out
    int others = 0;

    int RunModal(fw::CDialog& dialog, fw::CWnd* parent) override;
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest& request) override;

private:
    fw::CMessageLoop& loop_;
};

// The view in a scripted window on the slave side of a pty.
struct FlowBench {
    FlowBench();
    ~FlowBench();

    // One poll-timer tick, after waiting (up to 1 s) for input when asked to.
    void Tick(bool expectInput = true);
    std::string WriteFirmware(const std::string& name, const std::string& bytes) const;

    PseudoTerminal pty;
    TempDir dir;
    fw::CMessageLoop loop;
    CMainFrame frame;
    CTirvel2View view;
    ScriptedWindow window;
    FirmwareDialogs dialogs;

private:
    SavedProgramState saved_;
};

// A firmware image of recognisable bytes.
inline std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    }
    return bytes;
}

// The transfer dialog alone, on a port set up as the update flow leaves it.
struct DialogBench {
    DialogBench() : dialogs(loop) {
        port = OpenComPort(pty.SlavePath().c_str());
        const ComPortSettings settings{115200, 8, 0, 0, kFlowNone};
        SetupComPortPolled(port, &settings);
    }
    ~DialogBench() {
        if (port != INVALID_HANDLE_VALUE) {
            CloseComPort(port);
        }
    }
    std::string File(const std::string& bytes) const {
        const auto path = dir.Path() / "fw.bin";
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    int Run(const std::string& path) {
        CTransferDlg dialog;
        dialog.m_hComPort = port;
        dialog.m_strFilePath = path;
        return dialog.DoModal();
    }

    std::optional<PseudoTerminal> ptyHolder{std::in_place};
    PseudoTerminal& pty = *ptyHolder;
    TempDir dir;
    fw::CMessageLoop loop;
    FirmwareDialogs dialogs;
    PortHandle port = INVALID_HANDLE_VALUE;
};

// Plays an XMODEM receiver on the master side: sends the start signal, takes
// blocks and acknowledges them, acknowledges EOT. Returns the data fields
// received in order; stops early after `ackBlocks` blocks when given.
struct ReceivedTransfer {
    std::string data;
    std::string before;  // what came before the first block
    bool ended = false;  // EOT seen and acknowledged
    int blocks = 0;
};
ReceivedTransfer ReceiveXmodem(const PseudoTerminal& pty, char startSignal, int ackBlocks = -1,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace testsupport
