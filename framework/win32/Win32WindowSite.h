// The controls of one dialog window, addressed by resource ID, for the system's CWnd: text, checks,
// visibility, enabling, the rich-edit panes and the progress bar, message boxes, posted messages
// and timers. The dialog window itself is created elsewhere (the form view, the dialog host); this
// class only serves it.
#pragma once

#include "framework/win32/Win32Api.h"

#include <functional>
#include <map>
#include <memory>

#include "common/DialogTemplate.h"
#include "framework/PaneLineBreaks.h"
#include "framework/WindowSiteCore.h"
#include "framework/win32/Win32TextLook.h"

namespace fw::win32 {

// The message that announces a posted message waiting in a site's queue
// (the system's own numbers stay off the window's message queue, where
// WM_USER and the next ones mean dialog messages to the system).
inline constexpr UINT kPostedMessage = WM_APP + 0x3A1;

// Messages the system posts or sets timers for arrive at this window; the
// dialog's procedure hands them to HandleMessage.
class CWin32WindowSite : public CWindowSiteCore {
public:
    // dialog: the dialog window made from the template; owner: the window that
    // receives posted messages and timers (the dialog itself, or the form
    // view's scrolling frame).
    CWin32WindowSite(HWND dialog, HWND owner, CWnd& window, const DialogTemplate& dialogTemplate);
    ~CWin32WindowSite() override;

    HWND Dialog() const { return dialog_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }

    // WM_COMMAND (clicks, EN_CHANGE), WM_TIMER and the system's own messages
    // (WM_USER and above) go to the window's WindowProc; true when handled.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_CTLCOLORSTATIC for a static with a look: true, with the brush the
    // dialog procedure returns as it is (not through DWLP_MSGRESULT).
    bool ColourStatic(WPARAM dc, LPARAM control, INT_PTR& brush) const;
    // The template's kind of a control, or nullptr for an unknown ID.
    const ControlTemplate* Find(int id) const { return template_.Find(id); }

    FW_WINDOW_SITE_CONTROLS(, override)

private:
    // One announcement per message, kPostedMessage to the owner: the window's
    // queue keeps the order. Timers are the owner's too.
    void AnnouncePosted() override;
    bool StartTimer(UINT id, UINT periodMs) override;
    bool StopTimer(UINT id) override;
    void WhileBusy(const std::function<void()>& handle) override;

    HWND ControlOf(int id, ControlKind kind) const;
    void SetRichEditText(HWND edit, int id, const std::string& utf8);
    void ApplyRichEditFormat(HWND edit, const RichEditLook& look, DWORD scope);
    static void ShowChosenItem(HWND combo);

    HWND dialog_;
    HWND owner_;
    const DialogTemplate& template_;
    // Text the system sets raises no EN_CHANGE: only the operator's edits do.
    bool settingText_ = false;
    // A rich edit keeps one CR per line break.
    CPaneLineBreaks paneBreaks_{'\r'};
    std::map<int, RichEditLook> looks_;
    std::map<int, std::unique_ptr<CWin32TextLook>> textLooks_;
};

}  // namespace fw::win32
