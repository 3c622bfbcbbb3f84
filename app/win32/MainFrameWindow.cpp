#include "app/win32/MainFrameWindow.h"

#include <algorithm>
#include <vector>

#include "app/core/LockKeys.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "res/Accelerators.h"
#include "res/ResourceIds.h"

namespace app::win32 {
namespace {

constexpr UINT_PTR kRefreshTimer = 1;
// Wakes the loop now and then, so that idle processing sees a lock key
// toggled while another window had the keyboard.
constexpr UINT kRefreshMs = 250;
constexpr int kIndicatorMargin = 12;

std::wstring Text(UINT id) {
    return fw::win32::Widen(fw::LoadString(id));
}

// The caption: the first part of the document template string.
std::wstring FrameTitle() {
    const std::wstring text = Text(res::IDS_DOCUMENT_TEMPLATE);
    return text.substr(0, text.find(L'\n'));
}

// The view draws nothing on paper: printing it gives one empty page. False
// when printing failed; a cancelled print dialog is no failure.
bool PrintPage(HWND owner) {
    PRINTDLGW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
    if (!PrintDlgW(&request)) {
        return CommDlgExtendedError() == 0;
    }
    DOCINFOW document{};
    document.cbSize = sizeof document;
    const std::wstring title = FrameTitle();
    document.lpszDocName = title.c_str();
    bool printed = false;
    if (request.hDC != nullptr && StartDocW(request.hDC, &document) > 0) {
        printed = StartPage(request.hDC) > 0 && EndPage(request.hDC) > 0;
        printed = EndDoc(request.hDC) > 0 && printed;
    }
    if (request.hDC != nullptr) {
        DeleteDC(request.hDC);
    }
    if (request.hDevMode != nullptr) {
        GlobalFree(request.hDevMode);
    }
    if (request.hDevNames != nullptr) {
        GlobalFree(request.hDevNames);
    }
    return printed;
}

}  // namespace

CMainFrameWindow::CMainFrameWindow(CTirvel2Doc& document, fw::Language language)
    : CDesktopFrame(document), view_(std::make_unique<CTirvel2View>()) {
    // The resources hold no cursor 128, so the class has none; the frame sets
    // the arrow itself where its own client area shows. No menu, and the plain
    // title: the document never adds its name.
    if (!Create(kClassName, LoadCursorW(ResourceModule(), MAKEINTRESOURCEW(res::IDR_MAINFRAME)),
                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(4)), FrameTitle(),
                {kMinimumWidth, kMinimumHeight}, *view_, language)) {
        return;
    }
    StartDocument(*view_);
    PlaceOnScreen();
    SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr);
    OnIdle();
}

CMainFrameWindow::~CMainFrameWindow() {
    DestroyFrame();
    Unlink();
    view_.reset();
    if (statusFont_ != nullptr) {
        DeleteObject(statusFont_);
    }
}

LRESULT CMainFrameWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return CFormFrame::OnMessage(message, wParam, lParam) == 0 ? OnCreate() : -1;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = kMinimumWidth;
            info->ptMinTrackSize.y = kMinimumHeight;
            break;
        }
        case WM_COMMAND: {
            // Commands come from the toolbar and the accelerators (no control
            // of the frame's own sends any other).
            const auto from = reinterpret_cast<HWND>(lParam);
            if (from == nullptr || from == toolBar_.Hwnd()) {
                OnCommand(LOWORD(wParam));
                return 0;
            }
            break;
        }
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd_, focus)) {
                    lastFocus_ = focus;
                }
            }
            break;
        case WM_SETFOCUS:
            // Back to the control that had the keyboard, else into the form.
            if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_)) {
                SetFocus(lastFocus_);
            } else if (formView_ != nullptr) {
                SetFocus(formView_->Hwnd());
            }
            return 0;
        case WM_TIMER:
            if (wParam == kRefreshTimer) {
                return 0;  // the idle processing after it does the work
            }
            break;
        case WM_DESTROY:
            KillTimer(hwnd_, kRefreshTimer);
            break;
        default:
            break;
    }
    return CFormFrame::OnMessage(message, wParam, lParam);
}

bool CMainFrameWindow::MayClose() {
    // The device hears AT+QUIT (or the probe ends) before the window goes.
    OnClose();
    return true;
}

int CMainFrameWindow::OnCreate() {
    if (!toolBar_.CreateEx(hwnd_) || !toolBar_.LoadToolBar(res::IDR_MAINFRAME)) {
        return -1;
    }
    if (!CreateStatusBar()) {
        return -1;
    }
    // Without the 24-bit lists the resource's 16-colour images serve.
    toolBar_.SetImageLists(CLargeToolBar::kImageSize, res::IDB_TOOLBAR_24, res::IDB_TOOLBAR_24,
                           res::IDB_TOOLBAR_DISABLED);
    toolBar_.SetButtonTexts();
    toolBar_.SetSizes(SIZE{CLargeToolBar::kButtonSize, CLargeToolBar::kButtonSize},
                      SIZE{CLargeToolBar::kImageSize, CLargeToolBar::kImageSize});
    CreateAccelerators();
    return 0;
}

bool CMainFrameWindow::CreateStatusBar() {
    statusBar_ = CreateWindowExW(
        0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP, 0,
        0, 0, 0, hwnd_, reinterpret_cast<HMENU>(UINT_PTR{kStatusBarId}), ResourceModule(), nullptr);
    if (statusBar_ == nullptr) {
        return false;
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        statusFont_ = CreateFontIndirectW(&metrics.lfStatusFont);
        if (statusFont_ != nullptr) {
            SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont_), FALSE);
        }
    }
    // Each indicator as wide as its name, whether the lock is on or not.
    HDC dc = GetDC(statusBar_);
    HGDIOBJ old = SelectObject(dc, statusFont_ != nullptr ? static_cast<HGDIOBJ>(statusFont_)
                                                          : GetStockObject(DEFAULT_GUI_FONT));
    const UINT names[] = {res::IDS_INDICATOR_CAPS, res::IDS_INDICATOR_NUM, res::IDS_INDICATOR_SCRL};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::wstring name = Text(names[i]);
        SIZE size{};
        GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &size);
        indicatorWidths_[i] = size.cx + kIndicatorMargin;
    }
    SelectObject(dc, old);
    ReleaseDC(statusBar_, dc);
    Layout();
    SetMessageText(Text(res::IDS_IDLE_MESSAGE));
    return true;
}

void CMainFrameWindow::CreateAccelerators() {
    std::vector<ACCEL> table;
    for (const res::Accelerator& accelerator : res::FindAccelerators(res::IDR_MAINFRAME)) {
        // Commands without a handler stay out of the table: their keys reach
        // the focused control.
        if (CMainFrame::BelongsToFocusedControl(accelerator.command)) {
            continue;
        }
        ACCEL entry{};
        // The resource's modifier flags are the system's own values.
        entry.fVirt = static_cast<BYTE>(FVIRTKEY | accelerator.modifiers);
        entry.key = static_cast<WORD>(accelerator.key);
        entry.cmd = static_cast<WORD>(accelerator.command);
        table.push_back(entry);
    }
    if (!table.empty()) {
        accelerators_ = CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
    }
}

void CMainFrameWindow::Layout() {
    if (hwnd_ == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    int top = 0;
    if (toolBar_.Hwnd() != nullptr) {
        SendMessageW(toolBar_.Hwnd(), TB_AUTOSIZE, 0, 0);
        top = toolBar_.Height();
    }
    int bottom = client.bottom;
    if (statusBar_ != nullptr) {
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        RECT bar{};
        GetWindowRect(statusBar_, &bar);
        bottom -= bar.bottom - bar.top;
        // The message pane takes what the indicators leave.
        int edges[4];
        int right = client.right - GetSystemMetrics(SM_CXVSCROLL);
        for (int i = 2; i >= 0; --i) {
            edges[i + 1] = right;
            right -= indicatorWidths_[static_cast<std::size_t>(i)];
        }
        edges[0] = std::max(0, right);
        edges[3] = -1;
        SendMessageW(statusBar_, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    }
    if (formView_ != nullptr) {
        formView_->Move(RECT{0, top, client.right, std::max(top, bottom)});
    }
}

void CMainFrameWindow::PlaceOnScreen() {
    // Room for the whole form where the screen has it, scroll bars otherwise.
    RECT bar{};
    int chromeHeight = toolBar_.Height();
    if (statusBar_ != nullptr && GetWindowRect(statusBar_, &bar)) {
        chromeHeight += bar.bottom - bar.top;
    }
    CFormFrame::PlaceOnScreen({GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE),
                               chromeHeight + 2 * GetSystemMetrics(SM_CYEDGE)},
                              {kMinimumWidth, kMinimumHeight});
}

LRESULT CMainFrameWindow::OnNotify(const NMHDR& header, LPARAM lParam) {
    if (header.code == TTN_GETDISPINFOW) {
        // The toolbar's tooltip asks by command ID; no tooltip text, no tip.
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        tooltip_ = CLargeToolBar::ToolTip(static_cast<UINT>(header.idFrom));
        info->hinst = nullptr;
        info->szText[0] = L'\0';
        info->lpszText = tooltip_.data();
        return 0;
    }
    if (header.hwndFrom == toolBar_.Hwnd() && header.code == TBN_HOTITEMCHANGE) {
        // While the pointer rests on a button its prompt shows, else "Ready".
        const auto* hot = reinterpret_cast<const NMTBHOTITEM*>(lParam);
        if ((hot->dwFlags & HICF_LEAVING) != 0 || hot->idNew == 0) {
            SetMessageText(Text(res::IDS_IDLE_MESSAGE));
        } else {
            SetMessageText(CLargeToolBar::Prompt(static_cast<UINT>(hot->idNew)));
        }
        return 0;
    }
    return DefWindowProcW(hwnd_, WM_NOTIFY, header.idFrom, lParam);
}

void CMainFrameWindow::SetMessageText(const std::wstring& text) {
    if (statusBar_ == nullptr) {
        return;
    }
    paneTexts_[kMessagePane] = text;
    SendMessageW(statusBar_, SB_SETTEXTW, kMessagePane | SBT_NOBORDERS,
                 reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring CMainFrameWindow::StatusText(Pane pane) const {
    if (statusBar_ == nullptr) {
        return {};
    }
    const LRESULT length = SendMessageW(statusBar_, SB_GETTEXTLENGTHW, pane, 0);
    std::wstring text(LOWORD(length) + 1u, L'\0');
    SendMessageW(statusBar_, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(length));
    return text;
}

void CMainFrameWindow::OnIdle() {
    UpdateCommandUI();
    UpdateIndicators();
}

void CMainFrameWindow::UpdateCommandUI() {
    if (toolBar_.Hwnd() == nullptr) {
        return;
    }
    for (UINT command : toolBar_.Commands()) {
        toolBar_.EnableButton(command, IsCommandEnabled(command));
    }
}

void CMainFrameWindow::UpdateIndicators() {
    if (statusBar_ == nullptr) {
        return;
    }
    const LockKeyState keys = QueryLockKeys();
    const std::pair<Pane, std::pair<UINT, std::optional<bool>>> panes[] = {
        {kCapsPane, {res::IDS_INDICATOR_CAPS, keys.caps}},
        {kNumPane, {res::IDS_INDICATOR_NUM, keys.num}},
        {kScrollPane, {res::IDS_INDICATOR_SCRL, keys.scroll}}};
    for (const auto& [pane, indicator] : panes) {
        // As the desktop status bar does it: the name while the lock is on.
        const std::wstring text =
            indicator.second.value_or(false) ? Text(indicator.first) : std::wstring();
        if (text != paneTexts_[pane]) {
            paneTexts_[pane] = text;
            SendMessageW(statusBar_, SB_SETTEXTW, pane, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
}

void CMainFrameWindow::CloseFrame() {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

bool CMainFrameWindow::PrintEmptyPage() {
    return PrintPage(hwnd_);
}

void CMainFrameWindow::SendToForm(UINT command) {
    if (formView_ != nullptr) {
        formView_->SendCommand(command);
    }
}

}  // namespace app::win32
