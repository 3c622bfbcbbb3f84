// A window whose controls come from a dialog template and whose contents
// scroll: the base of the configuration form.
#pragma once

#include "framework/Wnd.h"

namespace fw {

class CFormView : public CWnd {
public:
    explicit CFormView(UINT templateId) : templateId_(templateId) {}

    UINT TemplateId() const { return templateId_; }

    // Run once by the host when the window exists and is about to be shown.
    virtual void OnInitialUpdate() { UpdateData(false); }

private:
    UINT templateId_;
};

}  // namespace fw
