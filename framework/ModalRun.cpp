#include "framework/ModalRun.h"

#include "framework/Language.h"
#include "res/Dialogs.h"

namespace fw {

const DialogTemplate* ModalTemplate(const CDialog& dialog) {
    return res::FindDialogTemplate(dialog.TemplateId(), CurrentLanguage());
}

CWnd* ModalParent(const CDialog& dialog, CWnd* parent) {
    return parent != nullptr ? parent : dialog.Parent();
}

int ModalResult(const CDialog& dialog) {
    return dialog.IsEnded() ? dialog.Result() : IDCANCEL;
}

}  // namespace fw
