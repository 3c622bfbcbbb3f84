#include "FirmwareBench.h"

#include <poll.h>

#include <fstream>

#include "cfgfile/Preset.h"
#include "firmware/Xmodem.h"
#include "framework/Language.h"
#include "protocol/AtExchange.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"

namespace testsupport {

int FirmwareDialogs::RunModal(fw::CDialog& dialog, fw::CWnd*) {
    auto* transfer = dynamic_cast<CTransferDlg*>(&dialog);
    if (transfer == nullptr) {
        ++others;
        return fw::IDCANCEL;
    }
    ScriptedWindow window(loop_, dialog, dialog.TemplateId());
    ShownTransfer record;
    window.onMessageBox = [&](const RecordedMessageBox&) {
        record.progressAtBox = window.ProgressPos(res::IDC_TRANSFER_PROGRESS);
        return fw::IDOK;
    };
    dialog.OnInitDialog();
    record.pathShown = window.Text(res::IDC_TRANSFER_PATH);
    record.readOnlyPath = !window.Type(res::IDC_TRANSFER_PATH, "typed");
    record.range = window.ProgressRange(res::IDC_TRANSFER_PROGRESS);
    record.hadWorker = transfer->HasWorker();
    if (whileOpen) {
        whileOpen(window, *transfer);
    }
    if (!loop_.RunUntil([&] { return dialog.IsEnded(); }, limit)) {
        ++stuck;
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
    }
    record.boxes = window.MessageBoxes();
    record.result = dialog.Result();
    transfers.push_back(record);
    return dialog.Result();
}

std::optional<std::string> FirmwareDialogs::RunFileDialog(const fw::FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (files.empty()) {
        return std::nullopt;
    }
    auto path = files.front();
    files.pop_front();
    return path;
}

FlowBench::FlowBench()
    : window(loop, view, res::IDD_TIRVEL2_FORM, fw::Language::English), dialogs(loop) {
    fw::SetLanguage(fw::Language::English);
    g_nItemCount = 0;
    g_bPreset = false;
    AfxSetMainFrame(&frame);
    view.m_strDevicePath = pty.SlavePath();
    view.OnInitialUpdate();
}

FlowBench::~FlowBench() {
    frame.OnClose();
    AfxSetMainFrame(nullptr);
}

void FlowBench::Tick(bool expectInput) {
    if (expectInput && view.m_hComPort != INVALID_HANDLE_VALUE) {
        pollfd pfd{view.m_hComPort, POLLIN, 0};
        ::poll(&pfd, 1, 1000);
    }
    view.WindowProc(fw::WM_TIMER, 1, 0);
}

std::string FlowBench::WriteFirmware(const std::string& name, const std::string& bytes) const {
    const auto path = dir.Path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

namespace {

class ByteReader {
public:
    explicit ByteReader(const PseudoTerminal& pty) : pty_(pty) {}
    // n bytes, or fewer when the time-out passed.
    std::string Take(std::size_t n, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (pending_.size() < n && std::chrono::steady_clock::now() < deadline) {
            pending_ += pty_.ReadFor(std::chrono::milliseconds(20));
        }
        std::string out = pending_.substr(0, n);
        pending_.erase(0, out.size());
        return out;
    }

private:
    const PseudoTerminal& pty_;
    std::string pending_;
};

}  // namespace

ReceivedTransfer ReceiveXmodem(const PseudoTerminal& pty, char startSignal, int ackBlocks,
                               std::chrono::milliseconds timeout) {
    ReceivedTransfer received;
    ByteReader reader(pty);
    const std::size_t blockSize = startSignal == 'C' ? 133 : 132;
    // As a real receiver does, the start signal is repeated until the first
    // block comes: one sent before the sender listens is lost.
    const auto startDeadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::string head;
        if (received.blocks == 0) {
            while (head.empty() && std::chrono::steady_clock::now() < startDeadline) {
                pty.Write(std::string(1, startSignal));
                head = reader.Take(1, std::chrono::milliseconds(1000));
            }
        } else {
            head = reader.Take(1, timeout);
        }
        if (head.empty()) {
            return received;
        }
        if (head[0] == static_cast<char>(xmodem::EOT)) {
            pty.Write(std::string(1, static_cast<char>(xmodem::ACK)));
            received.ended = true;
            return received;
        }
        if (head[0] != static_cast<char>(xmodem::SOH)) {
            if (received.blocks == 0) {
                received.before += head;
            }
            continue;
        }
        const std::string rest = reader.Take(blockSize - 1, timeout);
        if (rest.size() != blockSize - 1) {
            return received;
        }
        received.data += rest.substr(2, xmodem::kBlockData);
        ++received.blocks;
        if (ackBlocks >= 0 && received.blocks > ackBlocks) {
            return received;
        }
        pty.Write(std::string(1, static_cast<char>(xmodem::ACK)));
    }
}

}  // namespace testsupport
