// The desktop main window on Win32: the shared main-frame logic (state copy,
// command dispatch and enabling, Stop on close) in a top-level window with the
// large toolbar at the top, the form view as the client area and a status bar
// with the command prompt and the lock-key indicators at the bottom.
#pragma once

#include <array>

#include "app/core/DesktopFrame.h"
#include "app/win32/FormFrame.h"
#include "app/win32/LargeToolBar.h"

class CTirvel2View;

namespace app::win32 {

class CMainFrameWindow : public CDesktopFrame, public CFormFrame {
public:
    static constexpr int kMinimumWidth = 820;
    static constexpr int kMinimumHeight = 650;
    static constexpr UINT kStatusBarId = 0xE801;  // the frame's status bar
    static constexpr wchar_t kClassName[] = L"tirvel";
    // Status bar panes: the message, then the lock keys.
    enum Pane { kMessagePane = 0, kCapsPane = 1, kNumPane = 2, kScrollPane = 3 };

    // Builds the window (hidden) in the language given, links itself as the
    // main frame and starts the document (the view's set-up). IsCreated()
    // tells whether the window and all its parts exist.
    CMainFrameWindow(CTirvel2Doc& document, fw::Language language);
    ~CMainFrameWindow() override;

    // What the message loop does whenever its queue has emptied: the toolbar's
    // buttons enabled as the command-enabling table says, the lock keys shown.
    void OnIdle();
    void UpdateCommandUI() override;
    void UpdateIndicators();

    CTirvel2View& View() const { return *view_; }
    CLargeToolBar& ToolBar() { return toolBar_; }
    HWND StatusBar() const { return statusBar_; }
    std::wstring StatusText(Pane pane) const;

protected:
    // CDesktopFrame
    void CloseFrame() override;
    bool PrintEmptyPage() override;
    void SendToForm(UINT command) override;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout() override;
    bool MayClose() override;
    // The frame's own parts, once the form is made.
    int OnCreate();
    LRESULT OnNotify(const NMHDR& header, LPARAM lParam);
    bool CreateStatusBar();
    void CreateAccelerators();
    void PlaceOnScreen();
    void SetMessageText(const std::wstring& text);

    std::unique_ptr<CTirvel2View> view_;
    CLargeToolBar toolBar_;
    HWND statusBar_ = nullptr;
    HFONT statusFont_ = nullptr;
    HWND lastFocus_ = nullptr;
    std::array<std::wstring, 4> paneTexts_;
    std::array<int, 3> indicatorWidths_{};
    std::wstring tooltip_;  // the text a tooltip is showing lives here
};

}  // namespace app::win32
