#include "framework/win32/Win32FormView.h"

#include <algorithm>

#include "framework/ModalRun.h"
#include "framework/win32/Win32DialogTemplate.h"
#include "framework/win32/Win32Host.h"
#include "framework/win32/Win32WindowSite.h"

namespace fw::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TirvelFormView";
// Room left around a control brought into view.
constexpr int kVisibleMargin = 10;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

bool RegisterFormClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = procedure;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

bool IsWithin(HWND ancestor, HWND hwnd) {
    return hwnd != nullptr && (hwnd == ancestor || IsChild(ancestor, hwnd) != FALSE);
}

}  // namespace

CWin32FormView::CWin32FormView(CFormView& view, Language language, HWND parent, int controlId)
    : view_(view) {
    const DialogTemplate& t = RequireTemplate(view.TemplateId(), language);
    InitWin32Controls();
    if (!RegisterFormClass(&WindowObjectProcedure<CWin32FormView>)) {
        return;
    }
    // Without a frame (tests) the view is a window of its own.
    const DWORD style = WS_VSCROLL | WS_HSCROLL | WS_CLIPCHILDREN |
                        (parent != nullptr ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW);
    hwnd_ = CreateWindowExW(
        parent != nullptr ? WS_EX_CONTROLPARENT : 0, kClassName, L"", style, 0, 0,
        parent != nullptr ? 0 : 640, parent != nullptr ? 0 : 480, parent,
        parent != nullptr ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)) : nullptr,
        Instance(), this);
    if (hwnd_ == nullptr) {
        return;
    }
    const std::vector<DWORD> bytes = BuildDialogTemplateEx(t, TemplateUse::Child);
    form_ = CreateDialogIndirectParamW(Instance(), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                       hwnd_, &CWin32FormView::FormProcedure,
                                       reinterpret_cast<LPARAM>(this));
    if (form_ == nullptr) {
        return;
    }
    site_ = std::make_unique<CWin32WindowSite>(form_, hwnd_, view, t);
    RelayTo(site_.get());
    SetWindowPos(form_, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(form_, SW_SHOWNA);
    UpdateScrollBars();
    view.AttachSite(this);
}

CWin32FormView::~CWin32FormView() {
    if (view_.Site() == this) {
        view_.AttachSite(nullptr);
    }
    // Timers, queued messages and the focus notes of the controls as they go
    // find no site any more.
    RelayTo(nullptr);
    site_.reset();
    if (form_ != nullptr) {
        SetWindowLongPtrW(form_, DWLP_USER, 0);
    }
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

SIZE CWin32FormView::FormSizePixels() const {
    if (form_ == nullptr) {
        return {0, 0};
    }
    RECT r{};
    GetWindowRect(form_, &r);
    return {r.right - r.left, r.bottom - r.top};
}

void CWin32FormView::Move(const RECT& rect) {
    if (hwnd_ != nullptr) {
        MoveWindow(hwnd_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   TRUE);
    }
}

void CWin32FormView::SendCommand(UINT id) {
    if (site_ != nullptr) {
        site_->SendCommand(id);
    }
}

bool CWin32FormView::TranslateDialogMessage(MSG* msg) {
    if (form_ == nullptr || msg == nullptr || !IsWithin(form_, msg->hwnd)) {
        return false;
    }
    if (IsDialogMessageW(form_, msg) == FALSE) {
        return false;
    }
    // Tab and the arrow keys may have moved the focus off the screen.
    if (msg->message == WM_KEYDOWN) {
        HWND focus = GetFocus();
        if (IsWithin(form_, focus) && focus != form_) {
            EnsureVisible(focus);
        }
    }
    return true;
}

void CWin32FormView::EnsureVisible(HWND control) {
    if (control == nullptr || form_ == nullptr) {
        return;
    }
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, form_, reinterpret_cast<POINT*>(&r), 2);
    RECT client{};
    GetClientRect(hwnd_, &client);
    auto bring = [](int position, int low, int high, int extent) {
        if (low - kVisibleMargin < position) {
            return std::max(0, low - kVisibleMargin);
        }
        if (high + kVisibleMargin > position + extent) {
            return std::max(0, std::min(low - kVisibleMargin, high + kVisibleMargin - extent));
        }
        return position;
    };
    ScrollTo(bring(scroll_.x, r.left, r.right, client.right),
             bring(scroll_.y, r.top, r.bottom, client.bottom));
}

void CWin32FormView::ScrollTo(int x, int y) {
    if (form_ == nullptr) {
        return;
    }
    const SIZE form = FormSizePixels();
    RECT client{};
    GetClientRect(hwnd_, &client);
    x = std::clamp(x, 0, std::max(0, static_cast<int>(form.cx - client.right)));
    y = std::clamp(y, 0, std::max(0, static_cast<int>(form.cy - client.bottom)));
    SetScrollPos(hwnd_, SB_HORZ, x, TRUE);
    SetScrollPos(hwnd_, SB_VERT, y, TRUE);
    if (x == scroll_.x && y == scroll_.y) {
        return;
    }
    scroll_ = {x, y};
    SetWindowPos(form_, nullptr, -x, -y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWin32FormView::UpdateScrollBars() {
    if (form_ == nullptr || updatingBars_) {
        return;
    }
    updatingBars_ = true;
    const SIZE form = FormSizePixels();
    // Where the whole form fits the window, no bar is needed. The rounds below
    // would not find that out: with the bars of a smaller size still shown,
    // the room they take keeps them.
    RECT whole{};
    GetWindowRect(hwnd_, &whole);
    if (form.cx <= whole.right - whole.left && form.cy <= whole.bottom - whole.top) {
        ShowScrollBar(hwnd_, SB_BOTH, FALSE);
    }
    // A bar that appears or goes changes the client area: a second round
    // settles it.
    for (int round = 0; round < 3; ++round) {
        RECT before{};
        GetClientRect(hwnd_, &before);
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE;
        info.nMin = 0;
        info.nMax = static_cast<int>(form.cx) - 1;
        info.nPage = static_cast<UINT>(std::max(0L, before.right));
        SetScrollInfo(hwnd_, SB_HORZ, &info, TRUE);
        info.nMax = static_cast<int>(form.cy) - 1;
        info.nPage = static_cast<UINT>(std::max(0L, before.bottom));
        SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
        RECT after{};
        GetClientRect(hwnd_, &after);
        if (after.right == before.right && after.bottom == before.bottom) {
            break;
        }
    }
    updatingBars_ = false;
    ScrollTo(scroll_.x, scroll_.y);
}

void CWin32FormView::OnScroll(int bar, WORD request) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int page = bar == SB_VERT ? client.bottom : client.right;
    RECT unit{0, 0, 4, 8};
    MapDialogRect(form_, &unit);
    const int line = std::max(1L, bar == SB_VERT ? unit.bottom : unit.right);
    int position = bar == SB_VERT ? scroll_.y : scroll_.x;
    switch (request) {
        case SB_LINEUP:
            position -= line;
            break;
        case SB_LINEDOWN:
            position += line;
            break;
        case SB_PAGEUP:
            position -= std::max(line, page - line);
            break;
        case SB_PAGEDOWN:
            position += std::max(line, page - line);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(hwnd_, bar, &info);
            position = info.nTrackPos;
            break;
        }
        case SB_TOP:
            position = 0;
            break;
        case SB_BOTTOM:
            position = bar == SB_VERT ? FormSizePixels().cy : FormSizePixels().cx;
            break;
        default:
            return;
    }
    if (bar == SB_VERT) {
        ScrollTo(scroll_.x, position);
    } else {
        ScrollTo(position, scroll_.y);
    }
}

INT_PTR CALLBACK CWin32FormView::FormProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return FALSE;  // the focus stays where the frame has it
    }
    auto* self = reinterpret_cast<CWin32FormView*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (self == nullptr || self->site_ == nullptr) {
        return FALSE;
    }
    if (INT_PTR brush = 0;
        message == WM_CTLCOLORSTATIC && self->site_->ColourStatic(wParam, lParam, brush)) {
        return brush;
    }
    if (message == WM_COMMAND && self->site_->HandleMessage(message, wParam, lParam)) {
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}

LRESULT CWin32FormView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            UpdateScrollBars();
            return 0;
        case WM_VSCROLL:
            OnScroll(SB_VERT, static_cast<WORD>(LOWORD(wParam)));
            return 0;
        case WM_HSCROLL:
            OnScroll(SB_HORZ, static_cast<WORD>(LOWORD(wParam)));
            return 0;
        case WM_MOUSEWHEEL: {
            UINT lines = 3;
            SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
            wheelRemainder_ += static_cast<short>(HIWORD(wParam));
            const int steps = wheelRemainder_ / WHEEL_DELTA;
            wheelRemainder_ %= WHEEL_DELTA;
            for (int i = 0; i < std::abs(steps); ++i) {
                if (lines == WHEEL_PAGESCROLL) {
                    OnScroll(SB_VERT, steps > 0 ? SB_PAGEUP : SB_PAGEDOWN);
                } else {
                    for (UINT n = 0; n < lines; ++n) {
                        OnScroll(SB_VERT, steps > 0 ? SB_LINEUP : SB_LINEDOWN);
                    }
                }
            }
            return 0;
        }
        case WM_SETFOCUS:
            // The form gives the focus back to the control that had it.
            if (form_ != nullptr) {
                SetFocus(form_);
            }
            return 0;
        default:
            if (site_ != nullptr && message != WM_COMMAND &&
                site_->HandleMessage(message, wParam, lParam)) {
                return 0;
            }
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CWin32FormView::FocusControl(int id) {
    if (site_ != nullptr) {
        site_->FocusControl(id);
        EnsureVisible(Control(id));
    }
}

}  // namespace fw::win32
