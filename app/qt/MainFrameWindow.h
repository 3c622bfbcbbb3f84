// The desktop main window: the shared main-frame logic (state copy, command
// dispatch and enabling, Stop on close) in a QMainWindow with the large
// toolbar, the form view as its central widget and a status bar with the
// command prompt and the lock-key indicators.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <map>
#include <memory>

#include "app/core/DesktopFrame.h"
#include "app/core/LockKeys.h"
#include "app/qt/LargeToolBar.h"
#include "framework/Language.h"

class CTirvel2View;

namespace fw::qt {
class CQtFormView;
}

namespace app {

class CMainFrameWindow : public QMainWindow, public CDesktopFrame {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 820;
    static constexpr int kMinimumHeight = 650;
    static constexpr int kCommandRefreshMs = 200;

    // Builds the window in the language given, links itself as the main frame
    // and starts the document (the view's set-up).
    CMainFrameWindow(CTirvel2Doc& document, fw::Language language, QWidget* parent = nullptr);
    ~CMainFrameWindow() override;

    // Every toolbar action enabled as the command-enabling table says.
    void UpdateCommandUI() override;
    void UpdateIndicators();

    CTirvel2View& View() const { return *view_; }
    fw::qt::CQtFormView* FormView() const { return formView_; }
    CLargeToolBar* ToolBar() const { return toolBar_; }
    // The action of an accelerator's command, or nullptr.
    QAction* AcceleratorAction(fw::UINT command) const;
    QLabel* IdleMessage() const { return idleMessage_; }
    QLabel* Indicator(fw::UINT stringId) const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // CDesktopFrame
    void CloseFrame() override { close(); }
    bool PrintEmptyPage() override;
    void SendToForm(fw::UINT command) override;

private:
    void CreateStatusBar();
    void CreateAccelerators();
    void PlaceOnScreen();

    std::unique_ptr<CTirvel2View> view_;
    fw::qt::CQtFormView* formView_ = nullptr;
    CLargeToolBar* toolBar_ = nullptr;
    QLabel* idleMessage_ = nullptr;
    std::map<fw::UINT, QLabel*> indicators_;
    std::map<fw::UINT, QAction*> accelerators_;
    // Never focused: shortcuts bound to it in widget context never fire, so
    // the edit keys reach the focused edit control.
    QWidget* shortcutSink_ = nullptr;
    QTimer refresh_;
    bool shown_ = false;
};

}  // namespace app
