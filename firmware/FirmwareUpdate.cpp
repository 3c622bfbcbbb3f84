// The view's side of the firmware update and of the debug log: break into the
// boot loader while the device powers up, answer its prompt, hand the port to
// the transfer dialog when it asks for the file; or show what the device
// prints. Everything here runs on the user-interface thread, driven by timers.
#include <chrono>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>

#include "cfgfile/InputFile.h"
#include "firmware/TransferDlg.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "res/ResourceIds.h"
#include "serial/DeviceLines.h"

namespace {

constexpr fw::UINT kPollTimer = 1;
constexpr fw::UINT kStartupTimer = 2;
constexpr fw::UINT kAwaitPeriodMs = 200;
constexpr fw::UINT kDialoguePeriodMs = 10;
constexpr fw::UINT kDebugPeriodMs = 20;

constexpr int kBurstLength = 25;
constexpr char kNak = 0x15;
constexpr std::string_view kPrompt = "[Y/N]";
// The prompt buffer only has to hold a prompt split over chunks; a loader that
// chatters without ever asking must not make it grow for ever.
constexpr std::size_t kPromptBufferLimit = 4096;

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Says why the file cannot be sent, if it cannot. The file dialog, Update
// File and the loader's request each ask again: the file may change between.
bool RefuseFirmwareKind(CTirvel2View& view, const std::string& path, bool sending) {
    switch (cfgfile::CheckInputFile(path, cfgfile::kFirmwareLimitBytes)) {
        case cfgfile::InputStatus::kNotRegular:
            view.AfxMessageBox(res::IDS_FIRMWARE_NOT_REGULAR, {path});
            return true;
        case cfgfile::InputStatus::kTooLarge:
            view.AfxMessageBox(res::IDS_FIRMWARE_TOO_LARGE,
                               {path, std::to_string(cfgfile::kFirmwareLimitMb)});
            return true;
        case cfgfile::InputStatus::kCannotRead:
            if (!sending) {
                return false;
            }
            // The system's error text would be in the C library's language,
            // not the operator's: the file's name says enough to act on.
            view.AfxMessageBox(res::IDS_FIRMWARE_UNREADABLE, {path});
            return true;
        case cfgfile::InputStatus::kEmpty:
            if (!sending) {
                return false;
            }
            // The dialog would wait for a Cancel with nothing to send.
            view.AfxMessageBox(res::IDS_FIRMWARE_EMPTY, {path});
            return true;
        case cfgfile::InputStatus::kOk:
            break;
    }
    return false;
}

}  // namespace

void CTirvel2View::OnUpdateFirmware() {
    // A device, a pipe or a huge file never becomes firmware, so the device is
    // not sent into its loader for it. A file still being copied or made
    // readable may be ready by the time the loader asks, so emptiness and
    // access are judged only then.
    if (!m_strFirmwarePath.empty() && RefuseFirmwareKind(*this, m_strFirmwarePath, false)) {
        return;
    }
    if (!OpenPort(kLoaderLine, SetupComPortPolled)) {
        return;
    }
    DiscardPendingInput();
    SendBreakInBurst();
    SetConnectionState(kStateAwaitingLoader);
    m_nPollTimer = SetTimer(kPollTimer, kAwaitPeriodMs);
    m_nStartupTimer = SetTimer(kStartupTimer, m_nLoaderLimitMs);
}

void CTirvel2View::OnSelectFirmware() {
    fw::FileDialogRequest request;
    request.save = false;
    request.filter = fw::LoadString(res::IDS_FIRMWARE_FILTER);
    request.title = fw::LoadString(res::IDS_FIRMWARE_TITLE);
    request.parent = this;
    if (std::optional<std::string> path = fw::RunFileDialog(request)) {
        // A refused choice is not kept, nor is the old one: the operator meant
        // to replace it, and the next update asks again instead of sending it.
        m_strFirmwarePath = RefuseFirmwareKind(*this, *path, false) ? std::string() : *path;
    }
}

void CTirvel2View::OnShowDebugInfo() {
    ShowAllControls(fw::SW_HIDE);
    for (int id : {res::IDC_LOG_PANE, res::IDC_CLEAR_LOG, res::IDC_SAVE_LOG}) {
        ShowDlgItem(id, fw::SW_SHOW);
    }
    m_ctrlLog.SetSizePixels(680, 500);
    m_ctrlLog.SetFocus();

    if (!OpenPort(kLoaderLine, SetupComPortTimed)) {
        return;
    }
    SetConnectionState(kStateDebugLog);
    m_nPollTimer = SetTimer(kPollTimer, kDebugPeriodMs);
}

void CTirvel2View::OnTimer(fw::UINT timerId) {
    if (timerId == kStartupTimer) {
        // Timers go on while the box is open: the loader may still answer,
        // and this limit fires again (another box) after a further period.
        AfxMessageBox(res::IDS_LOADER_TIMEOUT);
        StopTimers();
        return;
    }
    if (timerId != kPollTimer || m_hComPort == INVALID_HANDLE_VALUE) {
        return;
    }

    char chunk[256];
    switch (m_nConnectState) {
        case kStateAwaitingLoader: {
            CollectChunk(chunk);
            // Only a line within one tick's input counts; the chunk itself is
            // not kept.
            if (std::strlen(chunk) > 5 && std::strstr(chunk, "\r\n") != nullptr) {
                SetConnectionState(kStateLoaderDialogue);
                WriteComPort(m_hComPort, "\r", 1);
                Pause(100);
                StopTimers();
                m_nPollTimer = SetTimer(kPollTimer, kDialoguePeriodMs);
            } else {
                SendBreakInBurst();
            }
            break;
        }
        case kStateLoaderDialogue: {
            const int count = CollectChunk(chunk);
            if (count == 0) {
                break;
            }
            const bool nak = std::memchr(chunk, kNak, static_cast<std::size_t>(count)) != nullptr;
            m_strPromptBuffer.append(chunk, std::strlen(chunk));
            if (m_strPromptBuffer.find(kPrompt) != std::string::npos) {
                WriteComPort(m_hComPort, "y\r", 2);
                Pause(100);
                m_strPromptBuffer.clear();
            } else if (m_strPromptBuffer.size() > kPromptBufferLimit) {
                m_strPromptBuffer.erase(0, m_strPromptBuffer.size() - (kPrompt.size() - 1));
            }
            if (nak) {
                StartFirmwareTransfer();
            }
            break;
        }
        case kStateDebugLog:
            if (CollectChunk(chunk) > 0) {
                AppendToLog(chunk);
            }
            break;
        default:
            break;
    }
}

void CTirvel2View::StartFirmwareTransfer() {
    // From here on the port belongs to the transfer until Stop; the loader
    // answered, so its time limit is over too.
    StopTimers();
    if (m_strFirmwarePath.empty()) {
        OnSelectFirmware();
    }
    if (!m_strFirmwarePath.empty()) {
        // One byte tells readable from not; the dialog reads the image itself.
        if (!RefuseFirmwareKind(*this, m_strFirmwarePath, true)) {
            CTransferDlg dialog(nullptr);
            dialog.m_strFilePath = m_strFirmwarePath;
            dialog.m_hComPort = m_hComPort;
            DiscardPendingInput();
            dialog.DoModal();
        }
    }
    OnStopConfig();
}

int CTirvel2View::CollectChunk(char (&buffer)[256]) {
    std::memset(buffer, 0, sizeof buffer);
    constexpr int kMax = static_cast<int>(sizeof buffer) - 1;
    int total = 0;
    int got = ReadComPort(m_hComPort, buffer, kMax);
    while (got > 0) {
        total += got;
        if (total >= kMax) {
            break;
        }
        Pause(10);
        got = ReadComPort(m_hComPort, buffer + total, static_cast<std::uint32_t>(kMax - total));
    }
    return total;
}

void CTirvel2View::SendBreakInBurst() {
    for (int i = 0; i < kBurstLength; ++i) {
        WriteComPort(m_hComPort, "u", 1);
        Pause(5);
    }
}

void CTirvel2View::DiscardPendingInput() {
    char discard[256];
    ReadComPort(m_hComPort, discard, sizeof discard);
}

void CTirvel2View::StopTimers() {
    if (m_nPollTimer != 0) {
        KillTimer(m_nPollTimer);
        m_nPollTimer = 0;
    }
    if (m_nStartupTimer != 0) {
        KillTimer(m_nStartupTimer);
        m_nStartupTimer = 0;
    }
}
