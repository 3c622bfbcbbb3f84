// The desktop main window on Win32: the shared main-frame logic (state copy,
// command dispatch and enabling, Stop on close) in a top-level window with the
// large toolbar at the top, the form view as the client area and a status bar
// with the command prompt and the lock-key indicators at the bottom.
#pragma once

#include "framework/win32/Win32Api.h"

#include <array>
#include <memory>
#include <string>

#include "app/core/DesktopFrame.h"
#include "app/win32/LargeToolBar.h"
#include "framework/Language.h"
#include "framework/win32/Win32WindowObject.h"

class CTirvel2View;

namespace fw::win32 {
class CWin32FormView;
}

namespace app::win32 {

class CMainFrameWindow : public CDesktopFrame {
public:
    static constexpr int kMinimumWidth = 820;
    static constexpr int kMinimumHeight = 650;
    static constexpr UINT kStatusBarId = 0xE801;  // the frame's status bar
    static constexpr UINT kViewId = 0xE900;       // the frame's first pane
    static constexpr wchar_t kClassName[] = L"tirvel";
    // Status bar panes: the message, then the lock keys.
    enum Pane { kMessagePane = 0, kCapsPane = 1, kNumPane = 2, kScrollPane = 3 };

    // Builds the window (hidden) in the language given, links itself as the
    // main frame and starts the document (the view's set-up). IsCreated()
    // tells whether the window and all its parts exist.
    CMainFrameWindow(CTirvel2Doc& document, fw::Language language);
    ~CMainFrameWindow() override;
    CMainFrameWindow(const CMainFrameWindow&) = delete;
    CMainFrameWindow& operator=(const CMainFrameWindow&) = delete;

    bool IsCreated() const { return hwnd_ != nullptr; }
    HWND Hwnd() const { return hwnd_; }

    // What the message loop does whenever its queue has emptied: the toolbar's
    // buttons enabled as the command-enabling table says, the lock keys shown.
    void OnIdle();
    void UpdateCommandUI() override;
    void UpdateIndicators();
    // Accelerators and the form's keyboard navigation; true when the message
    // was used up and must not be dispatched.
    bool PreTranslateMessage(MSG* message);

    CTirvel2View& View() const { return *view_; }
    fw::win32::CWin32FormView* FormView() const { return formView_.get(); }
    CLargeToolBar& ToolBar() { return toolBar_; }
    HWND StatusBar() const { return statusBar_; }
    std::wstring StatusText(Pane pane) const;
    HACCEL Accelerators() const { return accelerators_; }

    // The program ends with the window (the application's frame); a frame
    // made by a test leaves the thread's loop alone.
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

protected:
    // CDesktopFrame
    void CloseFrame() override;
    bool PrintEmptyPage() override;
    void SendToForm(UINT command) override;

private:
    template <typename Object>
    friend LRESULT CALLBACK fw::win32::WindowObjectProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                             LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    int OnCreate();
    void OnDestroy();
    LRESULT OnNotify(const NMHDR& header, LPARAM lParam);
    bool CreateStatusBar();
    void CreateAccelerators();
    void RecalcLayout();
    void PlaceOnScreen();
    void SetMessageText(const std::wstring& text);

    fw::Language language_;
    std::unique_ptr<CTirvel2View> view_;
    std::unique_ptr<fw::win32::CWin32FormView> formView_;
    CLargeToolBar toolBar_;
    HWND hwnd_ = nullptr;
    HWND statusBar_ = nullptr;
    HFONT statusFont_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HWND lastFocus_ = nullptr;
    std::array<std::wstring, 4> paneTexts_;
    std::array<int, 3> indicatorWidths_{};
    std::wstring tooltip_;  // the text a tooltip is showing lives here
    bool quitOnDestroy_ = false;
};

}  // namespace app::win32
