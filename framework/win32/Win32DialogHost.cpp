#include "framework/win32/Win32DialogHost.h"

#include <shellapi.h>

#include <memory>
#include <vector>

#include "framework/FileChooserRequest.h"
#include "framework/ModalRun.h"
#include "framework/win32/Win32DialogTemplate.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "framework/win32/Win32WindowSite.h"

namespace fw::win32 {
namespace {

void CentreOver(HWND dialog, HWND owner) {
    RECT area{};
    if (owner != nullptr && IsWindowVisible(owner) != FALSE && IsIconic(owner) == FALSE) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT r{};
    GetWindowRect(dialog, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

struct ModalState {
    CDialog& dialog;
    const DialogTemplate& dialogTemplate;
    HWND owner;
    std::unique_ptr<CWin32WindowSite> site;
};

void EndIfEnded(HWND hwnd, CDialog& dialog) {
    if (dialog.IsEnded()) {
        ::EndDialog(hwnd, dialog.Result());
    }
}

// Leaves every decision to close to the system's dialog: OK, Cancel, Enter,
// Esc and the close box are all commands, and the window goes once the dialog
// has ended (a failed validation keeps it open).
INT_PTR CALLBACK ModalProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* state = reinterpret_cast<ModalState*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        state->site =
            std::make_unique<CWin32WindowSite>(hwnd, hwnd, state->dialog, state->dialogTemplate);
        CDialog& dialog = state->dialog;
        state->site->SetAfterDispatch([hwnd, &dialog] { EndIfEnded(hwnd, dialog); });
        CentreOver(hwnd, state->owner);
        dialog.AttachSite(state->site.get());
        const bool defaultFocus = dialog.OnInitDialog();
        EndIfEnded(hwnd, dialog);
        return defaultFocus ? TRUE : FALSE;
    }
    auto* state = reinterpret_cast<ModalState*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (state == nullptr || state->site == nullptr) {
        return FALSE;
    }
    if (message == WM_CLOSE) {
        state->site->SendCommand(IDCANCEL);
        return TRUE;
    }
    if (INT_PTR brush = 0;
        message == WM_CTLCOLORSTATIC && state->site->ColourStatic(wParam, lParam, brush)) {
        return brush;
    }
    if (state->site->HandleMessage(message, wParam, lParam)) {
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

HWND CWin32DialogHost::OwnerOf(const CWnd* window) const {
    IWindowSite* site = window != nullptr ? window->Site() : nullptr;
    HWND shown = nullptr;
    if (auto* form = dynamic_cast<CWin32FormView*>(site)) {
        shown = form->Hwnd();
    } else if (auto* dialogSite = dynamic_cast<CWin32WindowSite*>(site)) {
        shown = dialogSite->Dialog();
    }
    const HWND root = shown != nullptr ? GetAncestor(shown, GA_ROOT) : nullptr;
    return root != nullptr ? root : owner_;
}

int CWin32DialogHost::RunModal(CDialog& dialog, CWnd* parent) {
    const DialogTemplate* t = ModalTemplate(dialog);
    if (t == nullptr) {
        return -1;
    }
    HWND owner = OwnerOf(ModalParent(dialog, parent));
    const std::vector<DWORD> bytes = BuildDialogTemplateEx(*t, TemplateUse::Modal);
    ModalState state{dialog, *t, owner, nullptr};
    CDetachOnExit detach(dialog);
    const INT_PTR result = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
        &ModalProcedure, reinterpret_cast<LPARAM>(&state));
    if (result == -1 && state.site == nullptr) {
        return -1;  // the window could not be made
    }
    return ModalResult(dialog);
}

std::wstring ToWin32Filter(const std::string& utf8Filter) {
    std::wstring filter;
    for (const FileFilterEntry& entry : ParseFileFilter(utf8Filter)) {
        filter += Widen(entry.description);
        filter += L'\0';
        filter += Widen(entry.patterns);
        filter += L'\0';
    }
    if (!filter.empty()) {
        filter += L'\0';  // and c_str() adds the list's own end
    }
    return filter;
}

std::optional<std::string> CWin32DialogHost::RunFileDialog(const FileDialogRequest& request) {
    const std::wstring filter = ToWin32Filter(request.filter);
    const std::wstring defaultExt = Widen(request.defaultExt);
    const std::wstring title = Widen(request.title);
    // Room for any path the system allows.
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring initial = Widen(request.fileName);
    initial.copy(file.data(), std::min(initial.size(), file.size() - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = OwnerOf(request.parent);
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = filter.empty() ? 0 : 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    const BOOL chosen = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (chosen == FALSE) {
        return std::nullopt;
    }
    return Narrow(file.data());
}

// The shell's "open" verb: the program the user has for the file's type.
// Anything above 32 is success, as ShellExecute has always had it.
bool CWin32DialogHost::OpenDocument(const std::string& path) {
    const std::wstring file = Widen(path);
    const HINSTANCE result =
        ShellExecuteW(owner_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace fw::win32
