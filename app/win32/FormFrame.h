// What the shell's top-level windows do alike: a window of its own class
// (registered once, with the application's icons) around a form view, placed
// so that the whole form shows where the screen has room, the accelerators
// and the form's keyboard before a message is dispatched, and the program's
// end with the window.
#pragma once

#include "framework/win32/Win32Api.h"

#include <functional>
#include <memory>
#include <string>

#include "common/NonCopyable.h"
#include "framework/FormView.h"
#include "framework/Language.h"
#include "framework/win32/Win32WindowObject.h"

namespace fw::win32 {
class CWin32FormView;
}

namespace app::win32 {

class CFormFrame : NonCopyable {
public:
    static constexpr UINT kViewId = 0xE900;  // the frame's first pane

    // Whether the window and its form exist.
    bool IsCreated() const { return hwnd_ != nullptr; }
    HWND Hwnd() const { return hwnd_; }
    fw::win32::CWin32FormView* FormView() const { return formView_.get(); }
    HACCEL Accelerators() const { return accelerators_; }

    // The program ends with the window; one made by a test leaves the
    // thread's loop alone.
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }
    // As the program was asked to start, never hidden.
    void Show(int showCommand);
    // The accelerators and the form's keyboard (Tab, Enter on a button) for a
    // message to this window or one inside it; true when it was used up and
    // must not be dispatched.
    bool PreTranslateMessage(MSG* message);

protected:
    CFormFrame() = default;
    virtual ~CFormFrame();

    // Registers the class once and makes the window (hidden, sized as given)
    // with the view's form in the language given. False, and no window, when
    // either could not be made.
    bool Create(const wchar_t* className, HCURSOR cursor, HBRUSH background,
                const std::wstring& caption, SIZE size, fw::CFormView& view, fw::Language language);
    // The window, then the form's window, before the view they show goes: in
    // the frame's own destructor, while its OnMessage still answers.
    void DestroyFrame();
    // Room for the form and the frame's own parts around it (at least the
    // minimum), no more than the screen's work area; centred, as a window
    // without a reference window is; then laid out.
    void PlaceOnScreen(SIZE chrome, SIZE minimum);

    // What every frame does: the form made at WM_CREATE, laid out at WM_SIZE
    // and given the focus; WM_CLOSE destroys the window when the frame may
    // close, and the program may end with it. A frame answers its own
    // messages first and hands the rest on to this.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Places the form (and the frame's own parts) in the client area.
    virtual void Layout() = 0;
    // Asked at WM_CLOSE.
    virtual bool MayClose() = 0;

    HWND hwnd_ = nullptr;
    std::unique_ptr<fw::win32::CWin32FormView> formView_;
    HACCEL accelerators_ = nullptr;

private:
    template <typename Object>
    friend LRESULT CALLBACK fw::win32::WindowObjectProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                             LPARAM lParam);
    fw::CFormView* form_ = nullptr;
    fw::Language language_ = fw::Language::English;
    bool quitOnDestroy_ = false;
};

// The thread's message loop around the frame, until WM_QUIT; its exit code.
// onIdle runs whenever the queue has emptied after a message: a pending paint
// would be in it, so everything shown has been painted.
int RunMessageLoop(CFormFrame& frame, const std::function<void()>& onIdle = {});

}  // namespace app::win32
