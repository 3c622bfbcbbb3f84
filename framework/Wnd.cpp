#include "framework/Wnd.h"

#include "framework/CodePage.h"
#include "framework/DataExchange.h"

namespace fw {

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) {
    return 0;
}

void CWnd::DoDataExchange(CDataExchange*) {}

void CWnd::ShowDlgItem(int id, int showCommand) {
    site_.ShowControl(id, showCommand);
}

void CWnd::EnableDlgItem(int id, bool enable) {
    site_.EnableControl(id, enable);
}

void CWnd::FocusDlgItem(int id) {
    site_.FocusControl(id);
}

void CWnd::CheckDlgButton(int id, int state) {
    site_.SetControlCheck(id, state);
}

int CWnd::IsDlgButtonChecked(int id) const {
    return site_.GetControlCheck(id);
}

void CWnd::SetDlgItemBytes(int id, const std::string& bytes) {
    if (Site() == nullptr) {
        return;
    }
    auto& shown = shown_[id];
    shown.bytes = bytes;
    shown.utf8 = DecodeAnsi(bytes);
    site_.SetControlText(id, shown.utf8);
}

std::string CWnd::GetDlgItemBytes(int id) const {
    if (Site() == nullptr) {
        return {};
    }
    std::string utf8 = site_.GetControlText(id);
    auto it = shown_.find(id);
    if (it != shown_.end() && it->second.utf8 == utf8) {
        return it->second.bytes;
    }
    return EncodeAnsi(utf8);
}

bool CWnd::DlgItemFitsCodePage(int id) const {
    if (Site() == nullptr) {
        return true;
    }
    const std::string utf8 = site_.GetControlText(id);
    auto it = shown_.find(id);
    // The bytes shown there came from the device or a file, and go back as
    // they came.
    if (it != shown_.end() && it->second.utf8 == utf8) {
        return true;
    }
    return CanEncodeAnsi(utf8);
}

int CWnd::AfxMessageBox(UINT stringId, const MessageArgs& args) {
    return MessageBoxById(stringId, AFX_IDS_APP_TITLE, MB_OK | MB_ICONINFORMATION, args);
}

int CWnd::MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) {
    return site_.MessageBoxById(textId, captionId, type, args);
}

void CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    site_.PostMessage(message, wParam, lParam);
}

UINT CWnd::SetTimer(UINT id, UINT periodMs) {
    return site_.SetTimer(id, periodMs);
}

bool CWnd::KillTimer(UINT id) {
    return site_.KillTimer(id);
}

bool CWnd::UpdateData(bool saveAndValidate) {
    if (Site() == nullptr) {
        return false;
    }
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

}  // namespace fw
