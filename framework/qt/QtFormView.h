// The form view's window on Qt Widgets: the controls of a dialog template,
// created at their dialog-unit positions inside a scrolling area, addressed by
// their resource IDs, with the system's view (a CFormView) as their owner.
#pragma once

#include <QScrollArea>
#include <memory>

#include "framework/FormView.h"
#include "framework/Language.h"
#include "framework/SiteRelay.h"

namespace fw::qt {

class CQtFormView : public QScrollArea, public CSiteRelay {
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

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace fw::qt
