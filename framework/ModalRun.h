// What every dialog host does around the window it shows for a modal dialog,
// whatever makes that window, and the template every window is made from.
#pragma once

#include "common/DialogTemplate.h"
#include "common/NonCopyable.h"
#include "framework/Dialog.h"
#include "framework/Language.h"

namespace fw {

// The template with this ID in the language; std::invalid_argument when the
// resources have none, as a form cannot be made without.
const DialogTemplate& RequireTemplate(UINT templateId, Language language);

// The template the dialog's window is made from, in the interface language;
// nullptr when there is none (RunModal then returns -1).
const DialogTemplate* ModalTemplate(const CDialog& dialog);
// The window the dialog opens over: the parent given to this run, else the
// dialog's own.
CWnd* ModalParent(const CDialog& dialog, CWnd* parent);
// What RunModal returns once the window has gone: the dialog's result, or
// IDCANCEL when the window went without the dialog ending.
int ModalResult(const CDialog& dialog);

// The dialog's site is detached however the run ends.
class CDetachOnExit : NonCopyable {
public:
    explicit CDetachOnExit(CWnd& window) : window_(window) {}
    ~CDetachOnExit() { window_.AttachSite(nullptr); }

private:
    CWnd& window_;
};

}  // namespace fw
