#include "app/win32/StationFrameWindow.h"

#include <algorithm>

#include "app/win32/FrameClass.h"
#include "app/win32/LargeToolBar.h"
#include "framework/StringTable.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"

namespace app::win32 {

CStationFrameWindow::CStationFrameWindow(IStationJobStore& store, fw::Language language)
    : store_(store), language_(language), view_(std::make_unique<CStationView>()) {
    RegisterFrameClass(kClassName, &fw::win32::WindowObjectProcedure<CStationFrameWindow>,
                       LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),  // IDC_ARROW
                       reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    const std::wstring caption = fw::win32::Widen(fw::LoadString(res::IDS_STATION_CAPTION));
    const HWND created = CreateWindowExW(
        0, kClassName, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, 800, 600, nullptr, nullptr, ResourceModule(), this);
    if (created == nullptr || formView_ == nullptr || !formView_->IsCreated()) {
        if (created != nullptr) {
            DestroyWindow(created);
        }
        formView_.reset();
        return;
    }
    PlaceOnScreen();
    view_->OnInitialUpdate();
    view_->SetCloseRequest([this] { PostMessageW(hwnd_, WM_CLOSE, 0, 0); });
}

CStationFrameWindow::~CStationFrameWindow() {
    view_->EndJob();
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    // The form's window goes before the view it is the window of.
    formView_.reset();
    view_.reset();
}

LRESULT CStationFrameWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            formView_ =
                std::make_unique<fw::win32::CWin32FormView>(*view_, language_, hwnd_, kViewId);
            return formView_->IsCreated() ? 0 : -1;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_SETFOCUS:
            if (formView_ != nullptr) {
                SetFocus(formView_->Hwnd());
            }
            return 0;
        case WM_CLOSE:
            // A running job asks first; Finish or Abort closes again once it has ended.
            if (!view_->QueryClose()) {
                return 0;
            }
            store_.Save(view_->GetJobForm());
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            if (quitOnDestroy_) {
                PostQuitMessage(0);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CStationFrameWindow::Layout() {
    if (formView_ == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    formView_->Move(client);
}

// The whole form where the screen has room for it, scroll bars otherwise;
// centred, as a window without a reference window is.
void CStationFrameWindow::PlaceOnScreen() {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT available{0, 0, 1024, 768};
    if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &info)) {
        available = info.rcWork;
    }
    const SIZE form = formView_->FormSizePixels();
    RECT wanted{0, 0, form.cx, form.cy};
    AdjustWindowRectEx(&wanted, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    const int width = std::min<int>(wanted.right - wanted.left, available.right - available.left);
    const int height = std::min<int>(wanted.bottom - wanted.top, available.bottom - available.top);
    SetWindowPos(hwnd_, nullptr, available.left + (available.right - available.left - width) / 2,
                 available.top + (available.bottom - available.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

bool CStationFrameWindow::PreTranslateMessage(MSG* message) {
    if (hwnd_ == nullptr || formView_ == nullptr ||
        (message->hwnd != hwnd_ && !IsChild(hwnd_, message->hwnd))) {
        return false;
    }
    return formView_->TranslateDialogMessage(message);
}

}  // namespace app::win32
