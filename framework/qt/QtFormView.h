// The form view's window on Qt Widgets: the controls of a dialog template,
// created at their dialog-unit positions inside a scrolling area, addressed by
// their resource IDs, with the system's view (a CFormView) as their owner.
#pragma once

#include <QScrollArea>
#include <memory>

#include "framework/FormView.h"
#include "framework/Language.h"
#include "framework/WindowSite.h"

namespace fw::qt {

class CQtFormView : public QScrollArea, public IWindowSite {
    Q_OBJECT
public:
    // Builds the controls of the view's template in the given language and
    // attaches itself to the view. The view's OnInitialUpdate is not run here:
    // the frame runs it once it has linked itself (AfxSetMainFrame).
    CQtFormView(CFormView& view, Language language, QWidget* parent = nullptr);
    ~CQtFormView() override;

    CFormView& View() const;
    // The widget of a control, or nullptr (for tests and the frame).
    QWidget* Control(int id) const;
    // The size of the whole form in pixels (the template's size in dialog units).
    QSize FormSizePixels() const;
    // A toolbar or menu command, delivered as a click on the form delivers its
    // buttons: WM_COMMAND to the view under the wait cursor.
    void SendCommand(UINT id);

    // IWindowSite
    void ShowControl(int id, int showCommand) override;
    bool IsControlVisible(int id) const override;
    void EnableControl(int id, bool enable) override;
    bool IsControlEnabled(int id) const override;
    void FocusControl(int id) override;
    void SetControlText(int id, const std::string& utf8) override;
    std::string GetControlText(int id) const override;
    void SetControlCheck(int id, int state) override;
    int GetControlCheck(int id) const override;
    void AppendControlText(int id, const std::string& utf8) override;
    void SetRichEditLook(int id, const RichEditLook& look) override;
    void SetControlSizePixels(int id, int width, int height) override;
    int MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) override;
    void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    UINT SetTimer(UINT id, UINT periodMs) override;
    bool KillTimer(UINT id) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace fw::qt
