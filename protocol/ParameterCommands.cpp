// Modify writes the ticked rows to the device, Restore returns it to its
// factory settings, Settings chooses the COM port for the next Start.
#include <string>

#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"
#include "protocol/SettingsDlg.h"
#include "res/ResourceIds.h"

namespace {

// A line break would end the command early and start a second one on the
// device; a zero byte would cut it before its "\r".
bool IsSendableValue(const std::string& value) {
    return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

void CTirvel2View::OnModify() {
    // A character the code page lacks would reach the device as '?', and the
    // read-back would then confirm a value nobody typed. Nothing is written
    // while any ticked row holds one.
    // Nor while a ticked row is one the device did not list (an import
    // matches placeholder labels too): it has no such item, and a write that
    // left the row out would be told as done.
    for (int n = 1; n <= g_nItemCount; ++n) {
        if (ReadItemModify(n) != 0 && !IsItemListed(n)) {
            AfxMessageBox(res::IDS_ITEM_NOT_LISTED, {std::to_string(n)});
            return;
        }
        if (ReadItemModify(n) != 0 && !DlgItemFitsCodePage(ItemNewId(n))) {
            AfxMessageBox(res::IDS_VALUE_NOT_ENCODABLE, {std::to_string(n)});
            return;
        }
    }
    int result = kAtSuccess;
    // The bound is read again before every item.
    for (int n = 1; n <= g_nItemCount; ++n) {
        if (ReadItemModify(n) == 0) {
            continue;
        }
        if (m_bStopRaised) {
            break;
        }
        const std::string value = ReadItemNewValue(n);
        if (!IsSendableValue(value)) {
            AfxMessageBox(res::IDS_VALUE_NOT_SENDABLE, {std::to_string(n)});
            result = kAtFailure;
            break;
        }
        const std::string command = "AT+SET=" + std::to_string(n) + "," + value + "\r";
        result = SendAtCommand(m_hComPort, command.c_str(), kLongReplyLimit);
        if (result != kAtSuccess) {
            AfxMessageBox(res::IDS_SET_FAILED);
            break;
        }
    }
    if (m_bStopRaised) {
        // The Stop that raised it follows and ends the connection; the
        // re-read and a verdict would only hold it up.
        return;
    }
    ReadDeviceConfiguration();
    if (result == kAtSuccess) {
        AfxMessageBox(res::IDS_SET_SUCCEEDED);
    }
}

void CTirvel2View::OnRestore() {
    if (m_bStopRaised) {
        return;
    }
    if (SendAtCommand(m_hComPort, "AT+RESTORE\r", kLongReplyLimit) != kAtSuccess) {
        AfxMessageBox(res::IDS_RESTORE_FAILED);
        return;
    }
    ReadDeviceConfiguration();
    AfxMessageBox(res::IDS_RESTORE_SUCCEEDED);
}

void CTirvel2View::OnSettings() {
    CSettingsDlg dialog(this);
    dialog.m_nComPort = static_cast<unsigned>(m_nComPort);
    if (dialog.DoModal() == fw::IDOK) {
        m_nComPort = static_cast<int>(dialog.m_nComPort);
    }
}
