#include "app/win32/FormFrame.h"

#include <algorithm>

#include "app/win32/LargeToolBar.h"
#include "framework/win32/Win32FormView.h"
#include "res/ResourceIds.h"

namespace app::win32 {
namespace {

// True when the class exists, registered now or before.
bool RegisterFrameClass(const wchar_t* name, HCURSOR cursor, HBRUSH background) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(ResourceModule(), name, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &fw::win32::WindowObjectProcedure<CFormFrame>;
    windowClass.hInstance = ResourceModule();
    windowClass.hIcon = LoadIconW(ResourceModule(), MAKEINTRESOURCEW(res::IDR_MAINFRAME));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(ResourceModule(), MAKEINTRESOURCEW(res::IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

CFormFrame::~CFormFrame() {
    if (accelerators_ != nullptr) {
        DestroyAcceleratorTable(accelerators_);
    }
}

bool CFormFrame::Create(const wchar_t* className, HCURSOR cursor, HBRUSH background,
                        const std::wstring& caption, SIZE size, fw::CFormView& view,
                        fw::Language language) {
    form_ = &view;
    language_ = language;
    RegisterFrameClass(className, cursor, background);
    const HWND created = CreateWindowExW(
        0, className, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, ResourceModule(), this);
    if (created == nullptr || formView_ == nullptr || !formView_->IsCreated()) {
        DestroyFrame();
        return false;
    }
    return true;
}

LRESULT CFormFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            formView_ =
                std::make_unique<fw::win32::CWin32FormView>(*form_, language_, hwnd_, kViewId);
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
            if (MayClose()) {
                DestroyWindow(hwnd_);
            }
            return 0;
        case WM_DESTROY:
            if (quitOnDestroy_) {
                PostQuitMessage(0);
            }
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void CFormFrame::DestroyFrame() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    formView_.reset();
}

void CFormFrame::Show(int showCommand) {
    ShowWindow(hwnd_, showCommand == SW_HIDE ? SW_SHOW : showCommand);
    UpdateWindow(hwnd_);
}

void CFormFrame::PlaceOnScreen(SIZE chrome, SIZE minimum) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT available{0, 0, 1024, 768};
    if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &info)) {
        available = info.rcWork;
    }
    const SIZE form = formView_->FormSizePixels();
    RECT wanted{0, 0, form.cx + chrome.cx, form.cy + chrome.cy};
    AdjustWindowRectEx(&wanted, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    const int screenWidth = available.right - available.left;
    const int screenHeight = available.bottom - available.top;
    const int width =
        std::max<int>(minimum.cx, std::min<int>(wanted.right - wanted.left, screenWidth));
    const int height =
        std::max<int>(minimum.cy, std::min<int>(wanted.bottom - wanted.top, screenHeight));
    SetWindowPos(hwnd_, nullptr, available.left + (screenWidth - width) / 2,
                 available.top + (screenHeight - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

bool CFormFrame::PreTranslateMessage(MSG* message) {
    if (hwnd_ == nullptr || (message->hwnd != hwnd_ && !IsChild(hwnd_, message->hwnd))) {
        return false;
    }
    if (accelerators_ != nullptr && message->message >= WM_KEYFIRST &&
        message->message <= WM_KEYLAST && TranslateAcceleratorW(hwnd_, accelerators_, message)) {
        return true;
    }
    return formView_ != nullptr && formView_->TranslateDialogMessage(message);
}

int RunMessageLoop(CFormFrame& frame, const std::function<void()>& onIdle) {
    bool idle = true;
    MSG message{};
    for (;;) {
        while (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (idle && onIdle && frame.IsCreated()) {
                onIdle();
            }
            idle = false;
            if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
                WaitMessage();
            }
        }
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (!frame.PreTranslateMessage(&message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        // Any message may have changed what onIdle brings up to date.
        idle = true;
    }
    return static_cast<int>(message.wParam);
}

}  // namespace app::win32
