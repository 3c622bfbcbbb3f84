// Modal dialogs from their templates (DialogBoxIndirectParamW) and the common file choosers
// (GetOpenFileNameW / GetSaveFileNameW) on Win32.
#pragma once

#include "framework/win32/Win32Api.h"

#include <string>

#include "framework/Dialog.h"

namespace fw::win32 {

class CWin32DialogHost : public IDialogHost {
public:
    // Dialogs without a parent window of their own are owned by this window
    // (the main frame), which they disable while they run.
    explicit CWin32DialogHost(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    int RunModal(CDialog& dialog, CWnd* parent) override;
    std::optional<std::string> RunFileDialog(const FileDialogRequest& request) override;
    bool OpenDocument(const std::string& path) override;

private:
    // The top-level window a system window is shown in, else the owner.
    HWND OwnerOf(const CWnd* window) const;

    HWND owner_;
};

// The filter "desc|*.a;*.b|desc2|*.c||" as the file dialog takes it:
// "desc\0*.a;*.b\0desc2\0*.c\0\0".
std::wstring ToWin32Filter(const std::string& utf8Filter);

}  // namespace fw::win32
