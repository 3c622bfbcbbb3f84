#include "framework/win32/Win32WindowSite.h"

#include <algorithm>

#include "framework/StringTable.h"
#include "framework/win32/Win32Host.h"

namespace fw::win32 {
namespace {

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

std::wstring RichEditText(HWND edit) {
    GETTEXTLENGTHEX lengthQuery{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
    const auto length = static_cast<std::size_t>(
        SendMessageW(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0));
    std::wstring text(length + 1, L'\0');
    GETTEXTEX query{};
    query.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    query.flags = GT_USECRLF;
    query.codepage = 1200;  // UTF-16
    const auto copied = SendMessageW(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    return text;
}

class WaitCursor : NonCopyable {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_ != nullptr ? previous_ : LoadCursorW(nullptr, IDC_ARROW)); }

private:
    HCURSOR previous_;
};

}  // namespace

CWin32WindowSite::CWin32WindowSite(HWND dialog, HWND owner, CWnd& window,
                                   const DialogTemplate& dialogTemplate)
    : CWindowSiteCore(window), dialog_(dialog), owner_(owner), template_(dialogTemplate) {
    for (const auto& c : template_.controls) {
        if (c.kind == ControlKind::ComboBox) {
            // A drop-down takes no text from its template.
            SetControlText(c.id, c.caption);
        }
        if (c.kind != ControlKind::RichEdit) {
            continue;
        }
        HWND edit = Control(c.id);
        if (edit == nullptr) {
            continue;
        }
        // Plain text (one format for the whole pane) can only be chosen while
        // the pane is empty.
        SetWindowTextW(edit, L"");
        SendMessageW(edit, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
        // The log grows by many small appends; nobody undoes them, and it may
        // grow beyond the default 32K characters.
        SendMessageW(edit, EM_SETUNDOLIMIT, 0, 0);
        SendMessageW(edit, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
        if (!c.caption.empty()) {
            SetRichEditText(edit, c.id, c.caption);
        }
    }
}

// What is still queued dies with the site; the announcements find an empty
// queue or a window that is gone. A static that outlives its look goes back to
// the dialog's font before the look's is deleted.
CWin32WindowSite::~CWin32WindowSite() {
    const auto dialogFont = static_cast<WPARAM>(SendMessageW(dialog_, WM_GETFONT, 0, 0));
    for (const auto& look : textLooks_) {
        if (HWND control = Control(look.first)) {
            SendMessageW(control, WM_SETFONT, dialogFont, FALSE);
        }
    }
}

HWND CWin32WindowSite::ControlOf(int id, ControlKind kind) const {
    const ControlTemplate* c = template_.Find(id);
    return c != nullptr && c->kind == kind ? Control(id) : nullptr;
}

void CWin32WindowSite::WhileBusy(const std::function<void()>& handle) {
    WaitCursor wait;
    handle();
}

bool CWin32WindowSite::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        const auto id = static_cast<int>(LOWORD(wParam));
        const unsigned code = HIWORD(wParam);
        if (lParam == 0) {
            // Menus, accelerators and the dialog keys (Enter, Esc) without a
            // button of their own.
            Dispatch(WM_COMMAND, static_cast<WPARAM>(id), 0, true);
            return true;
        }
        const ControlTemplate* c = template_.Find(id);
        if (c == nullptr || reinterpret_cast<HWND>(lParam) != Control(id)) {
            return false;
        }
        if (c->kind == ControlKind::PushButton && code == BN_CLICKED) {
            Dispatch(WM_COMMAND, static_cast<WPARAM>(id), 0, true);
            return true;
        }
        const bool combo = c->kind == ControlKind::ComboBox;
        const bool typed = (c->kind == ControlKind::Edit && code == EN_CHANGE) ||
                           (combo && code == CBN_EDITCHANGE);
        // A radio button has checked itself and unchecked its group already.
        if (!typed && !(c->kind == ControlKind::RadioButton && code == BN_CLICKED) &&
            !(combo && (code == CBN_SELCHANGE || code == CBN_DROPDOWN))) {
            return false;
        }
        if (typed && settingText_) {
            return true;
        }
        if (combo && code == CBN_SELCHANGE) {
            // The edit part takes the item only after this notification;
            // the window reads the chosen text, as on the other hosts.
            ShowChosenItem(Control(id));
        }
        Dispatch(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), code), 0, false);
        return true;
    }
    if (message == WM_TIMER) {
        Dispatch(WM_TIMER, wParam, 0, false);
        return true;
    }
    if (message == kPostedMessage) {
        DeliverPosted();
        return true;
    }
    // Sent straight to the window by a test or the frame; the first few are
    // the dialog manager's own.
    if (message >= WM_USER + 0x10 && message < WM_APP) {
        Dispatch(message, wParam, lParam, true);
        return true;
    }
    return false;
}

void CWin32WindowSite::ShowChosenItem(HWND combo) {
    const LRESULT chosen = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR) {
        return;
    }
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(chosen), 0);
    if (length == CB_ERR) {
        return;
    }
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(chosen),
                 reinterpret_cast<LPARAM>(item.data()));
    SetWindowTextW(combo, item.c_str());
}

bool CWin32WindowSite::ColourStatic(WPARAM dc, LPARAM control, INT_PTR& brush) const {
    const auto id = GetDlgCtrlID(reinterpret_cast<HWND>(control));
    auto it = textLooks_.find(id);
    if (it == textLooks_.end() || reinterpret_cast<HWND>(control) != Control(id)) {
        return false;
    }
    brush = reinterpret_cast<INT_PTR>(it->second->Colour(reinterpret_cast<HDC>(dc)));
    return true;
}

void CWin32WindowSite::ShowControl(int id, int showCommand) {
    if (HWND control = Control(id)) {
        ShowWindow(control, showCommand == SW_HIDE ? SW_HIDE : SW_SHOWNA);
    }
}

bool CWin32WindowSite::IsControlVisible(int id) const {
    // The control's own flag, as the template and ShowControl set it, whether
    // or not the window around it is on screen yet.
    HWND control = Control(id);
    return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void CWin32WindowSite::EnableControl(int id, bool enable) {
    if (HWND control = Control(id)) {
        EnableWindow(control, enable ? TRUE : FALSE);
    }
}

bool CWin32WindowSite::IsControlEnabled(int id) const {
    HWND control = Control(id);
    return control != nullptr && IsWindowEnabled(control) != FALSE;
}

void CWin32WindowSite::FocusControl(int id) {
    HWND control = Control(id);
    if (control == nullptr) {
        return;
    }
    // The dialog manager's way, so the default button follows the focus.
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    if (GetFocus() != control) {
        SetFocus(control);
    }
}

void CWin32WindowSite::SetControlText(int id, const std::string& utf8) {
    const ControlTemplate* c = template_.Find(id);
    HWND control = Control(id);
    if (c == nullptr || control == nullptr) {
        return;
    }
    switch (c->kind) {
        case ControlKind::RichEdit:
            SetRichEditText(control, id, utf8);
            break;
        case ControlKind::ProgressBar:
        case ControlKind::Icon:
            break;
        default:
            // Text the system sets is no typing.
            settingText_ = true;
            SetWindowTextW(control, Widen(utf8).c_str());
            settingText_ = false;
            if (c->kind == ControlKind::Edit) {
                // A new text is shown from its start.
                SendMessageW(control, EM_SETSEL, 0, 0);
            }
            break;
    }
}

void CWin32WindowSite::SetRichEditText(HWND edit, int id, const std::string& utf8) {
    const std::wstring text = Widen(paneBreaks_.Replace(id, utf8));
    SetWindowTextW(edit, text.c_str());
    if (auto it = looks_.find(id); it != looks_.end()) {
        ApplyRichEditFormat(edit, it->second, SCF_ALL);
    }
}

std::string CWin32WindowSite::GetControlText(int id) const {
    const ControlTemplate* c = template_.Find(id);
    HWND control = Control(id);
    if (c == nullptr || control == nullptr) {
        return {};
    }
    switch (c->kind) {
        case ControlKind::RichEdit:
            return Narrow(RichEditText(control));
        case ControlKind::ProgressBar:
        case ControlKind::Icon:
            return {};
        default:
            return Narrow(WindowText(control));
    }
}

void CWin32WindowSite::SetControlCheck(int id, int state) {
    if (ControlOf(id, ControlKind::RadioButton) != nullptr) {
        // BM_SETCHECK leaves the group alone; a click would not.
        for (int sibling : state != 0 ? template_.RadioGroup(id) : std::vector<int>{id}) {
            const bool checked = sibling == id && state != 0;
            SendMessageW(Control(sibling), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        return;
    }
    HWND check = ControlOf(id, ControlKind::CheckBox);
    if (check == nullptr) {
        return;
    }
    if (state == 2) {
        // The third state needs the three-state style, taken on when asked for.
        SendMessageW(check, BM_SETSTYLE, BS_AUTO3STATE, TRUE);
        SendMessageW(check, BM_SETCHECK, BST_INDETERMINATE, 0);
    } else {
        SendMessageW(check, BM_SETCHECK, state != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

int CWin32WindowSite::GetControlCheck(int id) const {
    if (HWND radio = ControlOf(id, ControlKind::RadioButton)) {
        return SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    }
    HWND check = ControlOf(id, ControlKind::CheckBox);
    if (check == nullptr) {
        return 0;
    }
    // A button's states count as the window layer's: 1 checked, 2 indeterminate.
    const LRESULT state = SendMessageW(check, BM_GETCHECK, 0, 0);
    return state == BST_CHECKED || state == BST_INDETERMINATE ? static_cast<int>(state) : 0;
}

void CWin32WindowSite::AppendControlText(int id, const std::string& utf8) {
    const ControlTemplate* c = template_.Find(id);
    HWND edit = Control(id);
    if (c == nullptr || edit == nullptr) {
        return;
    }
    if (c->kind != ControlKind::RichEdit) {
        SetControlText(id, GetControlText(id) + utf8);
        return;
    }
    const std::wstring text = Widen(paneBreaks_.Append(id, utf8));
    if (text.empty()) {
        return;
    }

    // Where the operator looks and what they selected stay as they are; a
    // pane scrolled to its end follows the new text.
    SCROLLINFO vertical{};
    vertical.cbSize = sizeof(vertical);
    vertical.fMask = SIF_ALL;
    const bool hasBar = GetScrollInfo(edit, SB_VERT, &vertical) != FALSE;
    const bool atBottom = !hasBar || vertical.nMax <= 0 ||
                          vertical.nPos + static_cast<int>(vertical.nPage) >= vertical.nMax;
    POINT scroll{};
    SendMessageW(edit, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    CHARRANGE selection{};
    SendMessageW(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    SendMessageW(edit, EM_HIDESELECTION, TRUE, 0);

    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));

    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    SendMessageW(edit, EM_HIDESELECTION, FALSE, 0);
    if (atBottom) {
        SendMessageW(edit, WM_VSCROLL, SB_BOTTOM, 0);
        POINT end{};
        SendMessageW(edit, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&end));
        end.x = scroll.x;
        SendMessageW(edit, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&end));
    } else {
        SendMessageW(edit, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    }
}

void CWin32WindowSite::ApplyRichEditFormat(HWND edit, const RichEditLook& look, DWORD scope) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    format.dwEffects = 0;  // not bold, italic or underlined, and not the automatic colour
    format.yHeight = look.heightTwips;
    format.crTextColor = ToColorRef(look.textRgb);
    const std::wstring face = Widen(look.faceName);
    if (!face.empty() && face.size() < LF_FACESIZE) {
        format.dwMask |= CFM_FACE;
        face.copy(format.szFaceName, face.size());
    }
    SendMessageW(edit, EM_SETCHARFORMAT, scope, reinterpret_cast<LPARAM>(&format));
}

void CWin32WindowSite::SetRichEditLook(int id, const RichEditLook& look) {
    HWND edit = ControlOf(id, ControlKind::RichEdit);
    if (edit == nullptr) {
        return;
    }
    looks_[id] = look;
    SendMessageW(edit, EM_SETREADONLY, look.readOnly ? TRUE : FALSE, 0);
    SendMessageW(edit, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ToColorRef(look.backgroundRgb)));
    // The default for text still to come, and what is there already.
    ApplyRichEditFormat(edit, look, SCF_DEFAULT);
    ApplyRichEditFormat(edit, look, SCF_ALL);
}

void CWin32WindowSite::SetControlItems(int id, const std::vector<std::string>& utf8Items) {
    HWND combo = ControlOf(id, ControlKind::ComboBox);
    if (combo == nullptr) {
        return;
    }
    const std::wstring text = WindowText(combo);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const auto& item : utf8Items) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    }
    settingText_ = true;
    SetWindowTextW(combo, text.c_str());
    settingText_ = false;
}

void CWin32WindowSite::SetTextLook(int id, const TextLook& look) {
    HWND label = ControlOf(id, ControlKind::Static);
    if (label == nullptr) {
        return;
    }
    auto made = std::make_unique<CWin32TextLook>(dialog_, look);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(made->Font()), TRUE);
    // The old font and brush go only now that the control no longer uses them.
    textLooks_[id] = std::move(made);
    InvalidateRect(label, nullptr, TRUE);
}

void CWin32WindowSite::SetControlSizePixels(int id, int width, int height) {
    if (HWND control = Control(id)) {
        SetWindowPos(control, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CWin32WindowSite::SetProgressRange(int id, int low, int high) {
    if (HWND bar = ControlOf(id, ControlKind::ProgressBar)) {
        SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(low), high);
    }
}

void CWin32WindowSite::SetProgressPos(int id, int pos) {
    if (HWND bar = ControlOf(id, ControlKind::ProgressBar)) {
        PBRANGE range{};
        SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(std::clamp(pos, range.iLow, range.iHigh)),
                     0);
    }
}

int CWin32WindowSite::MessageBoxById(UINT textId, UINT captionId, UINT type,
                                     const MessageArgs& args) {
    const std::wstring text = Widen(FormatMessageText(fw::LoadString(textId), args));
    std::string caption = fw::LoadString(captionId);
    if (caption.empty()) {
        caption = fw::LoadString(AFX_IDS_APP_TITLE);
    }
    HWND owner = GetAncestor(dialog_, GA_ROOT);
    // The box runs the system's modal loop: timers and posted messages of
    // this and every other window go on arriving while it is open.
    const int result = MessageBoxW(owner, text.c_str(), Widen(caption).c_str(), type);
    if (result == 0) {
        return (type & 0x0Fu) == MB_OK ? IDOK : IDCANCEL;
    }
    return result;
}

void CWin32WindowSite::AnnouncePosted() {
    PostMessageW(owner_, kPostedMessage, 0, 0);
}

bool CWin32WindowSite::StartTimer(UINT id, UINT periodMs) {
    // The same window and ID replace the running timer.
    return ::SetTimer(owner_, id, std::max<UINT>(periodMs, USER_TIMER_MINIMUM), nullptr) != 0;
}

bool CWin32WindowSite::StopTimer(UINT id) {
    return ::KillTimer(owner_, id) != FALSE;
}

}  // namespace fw::win32
