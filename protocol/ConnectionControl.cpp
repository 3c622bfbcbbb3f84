// The life of one connection: Start opens the port and starts the probe, the
// probe's result leads through login and the reads to Connected, Stop leaves.
#include <cstring>
#include <memory>
#include <system_error>

#include "cfgfile/Preset.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "protocol/AtExchange.h"
#include "protocol/PasswordDlg.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"
#include "serial/DeviceLines.h"

namespace {

// "AT+TESTPWD=" + password + "\r" has to fit the device's 50-byte command buffer.
constexpr std::size_t kMaxPasswordBytes = 37;

bool IsSendablePassword(const std::string& password) {
    return password.size() <= kMaxPasswordBytes &&
           password.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// The text between the first "\r\n" of a value reply and the next one.
bool ExtractReplyValue(const char* reply, std::string& value) {
    const char* first = std::strstr(reply, "\r\n");
    if (first == nullptr) {
        return false;
    }
    const char* second = std::strstr(first + 2, "\r\n");
    if (second == nullptr) {
        return false;
    }
    value.assign(first + 2, second);
    return true;
}

// An empty value, or a result line where the value should stand: the value's
// line was lost and a line the device sent of its own, or its own result,
// took its place.
bool IsDoubtfulValue(std::string_view value) {
    return value.empty() || value == "OK" || value.starts_with("ERROR");
}

}  // namespace

void CTirvel2View::ForgetDevice() {
    g_nItemCount = 0;
    SetDeviceEchoes(false);
    const std::string placeholder = fw::LoadStringAnsi(res::IDS_ITEM_PLACEHOLDER);
    for (int n = 1; n <= kItemRows; ++n) {
        SetItemLabel(n, fw::FormatWithNumber(placeholder, n));
        SetItemCurrentValue(n, std::string());
        SetItemListed(n, false);
    }
    m_strImei.clear();
    m_strVersion.clear();
    UpdateData(false);
}

void CTirvel2View::OnStartConfig() {
    ForgetDevice();

    if (!OpenPort(kAtLine, SetupComPortTimed)) {
        return;
    }

    auto block = std::make_unique<ProbeParameters>(ProbeParameters{m_hComPort, this, 0});
    SetConnectionState(kStateConnecting);
    g_nProbeStopFlag = 0;
    m_bStopRaised = false;

    ShowAllControls(fw::SW_HIDE);
    ShowItemRows(fw::SW_SHOW);
    for (int id : {res::IDC_HELP_PANE, res::IDC_IMEI, res::IDC_VERSION, res::IDC_VERSION_CAPTION,
                   res::IDC_IMEI_CAPTION, res::IDC_EXPORT_CONFIG, res::IDC_IMPORT_CONFIG,
                   res::IDC_TEMPLATE_CONFIG, res::IDC_CLEAR_CONFIG}) {
        ShowDlgItem(id, fw::SW_SHOW);
    }
    FocusDlgItem(ItemNewId(1));

    block->connection = ++m_nConnection;
    try {
        m_probeThread = std::thread(ProbeThreadProc, block.get());
        block.release();  // the thread frees it
    } catch (const std::system_error&) {
        // Nothing will answer on this connection: say so, and free the port
        // for the Stop that the operator is left with.
        ClosePort();
        AfxMessageBox(res::IDS_PROBE_THREAD_FAILED);
    }
}

fw::LRESULT CTirvel2View::OnProbeResult(fw::WPARAM wParam, fw::LPARAM lParam) {
    // A result of a connection that was stopped (and perhaps followed by a new
    // Start) must not act on the port of the current one.
    if (static_cast<std::uint32_t>(lParam) != m_nConnection ||
        m_nConnectState != kStateConnecting) {
        return 0;
    }
    JoinProbeThread();  // it ends right after posting

    const int result = static_cast<int>(static_cast<std::intptr_t>(wParam));
    if (result == kProbePasswordRequired) {
        CPasswordDlg dialog(this);
        if (dialog.DoModal() != fw::IDOK) {
            ClosePort();
            return 0;
        }
        // Refused rather than cut: a shortened password would fail as a wrong
        // one and leave the operator guessing.
        const bool sendable = IsSendablePassword(dialog.m_strPassword);
        if (!sendable) {
            AfxMessageBox(res::IDS_PASSWORD_TOO_LONG);
        }
        const std::string command = "AT+TESTPWD=" + dialog.m_strPassword + "\r";
        bool accepted = false;
        for (int attempt = 0; sendable && attempt < 3 && !accepted; ++attempt) {
            accepted = SendAtCommand(m_hComPort, command.c_str(), kShortReplyLimit) == kAtSuccess;
        }
        // Asked again, as after a wrong password.
        if (!accepted) {
            PostMessage(res::WM_PROBE_RESULT, static_cast<fw::WPARAM>(kProbePasswordRequired),
                        static_cast<fw::LPARAM>(m_nConnection));
            return 0;
        }
    } else if (result != kProbeAnswered) {
        if (result == kProbeTimedOut) {
            AfxMessageBox(res::IDS_STARTUP_TIMEOUT);
        } else if (result == kProbeLineNoise) {
            // Not a late device but a line that babbles: waiting again would
            // only bring the same noise.
            AfxMessageBox(res::IDS_LINE_NOISE);
        }
        ClosePort();
        return 0;
    }

    if (!ReadIdentityField("AT+DTU&IMEI?\r", res::IDS_READ_IMEI_FAILED, m_strImei) ||
        !ReadIdentityField("AT+DTU&VER?\r", res::IDS_READ_VERSION_FAILED, m_strVersion) ||
        !ReadDeviceConfiguration()) {
        return 0;
    }
    EnableFileButtons(true);
    SetConnectionState(kStateConnected);

    if (g_bPreset) {
        bool anyNewValue = false;
        for (int n = 1; n <= g_nItemCount; ++n) {
            anyNewValue = anyNewValue || (IsItemListed(n) && !GetItemNewValue(n).empty());
        }
        if (anyNewValue) {
            // A row the device did not list has no value to differ from.
            for (int n = 1; n <= g_nItemCount; ++n) {
                SetItemModify(
                    n, IsItemListed(n) && GetItemCurrentValue(n) != GetItemNewValue(n) ? 1 : 0);
            }
            UpdateData(false);
        }
    }
    return 0;
}

bool CTirvel2View::ReadIdentityField(const char* command, fw::UINT failureMessage,
                                     std::string& field) {
    char reply[1024];
    if (QueryAtCommand(m_hComPort, command, reply, sizeof reply, kShortReplyLimit) < 0) {
        ClosePort();
        AfxMessageBox(failureMessage);
        return false;
    }
    // A reply without its two line ends carries no value: the sequence stops
    // there without a word, the port still open.
    if (!ExtractReplyValue(reply, field)) {
        return false;
    }
    // Nothing is known then; the read fails as an unanswered one.
    if (IsDoubtfulValue(field)) {
        field.clear();
        ClosePort();
        AfxMessageBox(failureMessage);
        return false;
    }
    UpdateData(false);
    return true;
}

std::optional<std::string> CTirvel2View::QueryImei() {
    char reply[1024];
    std::string imei;
    if (QueryAtCommand(m_hComPort, "AT+DTU&IMEI?\r", reply, sizeof reply, kShortReplyLimit) < 0 ||
        !ExtractReplyValue(reply, imei) || IsDoubtfulValue(imei)) {
        return std::nullopt;
    }
    return imei;
}

void CTirvel2View::OnStopConfig() {
    switch (m_nConnectState) {
        case kStateConnecting:
            g_nProbeStopFlag = 1;
            // The port is closed only once the thread can no longer use it.
            JoinProbeThread();
            break;
        case kStateConnected:
            if (m_hComPort != INVALID_HANDLE_VALUE) {
                SendAtCommand(m_hComPort, "AT+QUIT\r", kShortReplyLimit);
            }
            break;
        default:
            break;
    }
    // The debug log's poll timer too: left running it would tick on in Idle
    // with nothing to do.
    StopTimers();
    ClosePort();
    SetConnectionState(kStateIdle);
    EnableFileButtons(false);
    UpdateData(false);
}
