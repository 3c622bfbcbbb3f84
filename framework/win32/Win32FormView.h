// The form view's window on Win32: a scrolling child window of the frame (scroll bars and the
// wheel) holding the form's template as a modeless child dialog, every control a real window whose
// ID is its resource ID.
#pragma once

#include "framework/win32/Win32Api.h"

#include <memory>

#include "common/NonCopyable.h"
#include "framework/FormView.h"
#include "framework/Language.h"
#include "framework/SiteRelay.h"
#include "framework/win32/Win32WindowObject.h"

namespace fw::win32 {

class CWin32WindowSite;

class CWin32FormView : public CSiteRelay, NonCopyable {
public:
    // Builds the window and the view's template in the given language and
    // attaches itself to the view. OnInitialUpdate is not run here: the frame
    // runs it once it has linked itself (AfxSetMainFrame).
    CWin32FormView(CFormView& view, Language language, HWND parent, int controlId);
    ~CWin32FormView() override;

    bool IsCreated() const { return hwnd_ != nullptr && form_ != nullptr && site_ != nullptr; }
    CFormView& View() const { return view_; }
    // The scrolling window (posted messages and timers arrive here).
    HWND Hwnd() const { return hwnd_; }
    // The form's dialog inside it, parent of every control.
    HWND FormHwnd() const { return form_; }
    HWND Control(int id) const { return form_ != nullptr ? GetDlgItem(form_, id) : nullptr; }
    SIZE FormSizePixels() const;
    // Places the scrolling window in its parent's client area.
    void Move(const RECT& rect);
    // A toolbar or accelerator command, delivered as a click on the form.
    void SendCommand(UINT id);
    // For the shell's message loop: the form's keyboard (Tab, the arrow keys
    // between buttons, Enter on a button) as a dialog has it. True when the
    // message was the form's and has been handled.
    bool TranslateDialogMessage(MSG* msg);
    // Scrolls the form so the whole control (with a margin) is in view.
    void EnsureVisible(HWND control);
    // How far the form is scrolled, in pixels.
    POINT ScrollPosition() const { return scroll_; }
    void ScrollTo(int x, int y);

    // Brings the control into view, too.
    void FocusControl(int id) override;

private:
    template <typename Object>
    friend LRESULT CALLBACK WindowObjectProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                  LPARAM lParam);
    static INT_PTR CALLBACK FormProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void UpdateScrollBars();
    void OnScroll(int bar, WORD request);

    CFormView& view_;
    HWND hwnd_ = nullptr;
    HWND form_ = nullptr;
    std::unique_ptr<CWin32WindowSite> site_;
    POINT scroll_{0, 0};
    int wheelRemainder_ = 0;
    bool updatingBars_ = false;
};

}  // namespace fw::win32
