#include "framework/Dialog.h"

#include <atomic>

namespace fw {
namespace {

std::atomic<IDialogHost*> g_dialogHost{nullptr};

}  // namespace

void SetDialogHost(IDialogHost* host) {
    g_dialogHost = host;
}

IDialogHost* GetDialogHost() {
    return g_dialogHost;
}

std::optional<std::string> RunFileDialog(const FileDialogRequest& request) {
    IDialogHost* host = GetDialogHost();
    return host != nullptr ? host->RunFileDialog(request) : std::nullopt;
}

bool OpenDocument(const std::string& path) {
    IDialogHost* host = GetDialogHost();
    return host != nullptr && host->OpenDocument(path);
}

int CDialog::DoModal() {
    IDialogHost* host = GetDialogHost();
    if (host == nullptr) {
        return -1;
    }
    ended_ = false;
    result_ = 0;
    return host->RunModal(*this, parent_);
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (wParam == static_cast<WPARAM>(IDOK)) {
            OnOK();
            return 0;
        }
        if (wParam == static_cast<WPARAM>(IDCANCEL)) {
            OnCancel();
            return 0;
        }
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

}  // namespace fw
