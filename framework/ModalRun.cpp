#include "framework/ModalRun.h"

#include <stdexcept>
#include <string>

#include "res/Dialogs.h"

namespace fw {

const DialogTemplate& RequireTemplate(UINT templateId, Language language) {
    const DialogTemplate* t = res::FindDialogTemplate(templateId, language);
    if (t == nullptr) {
        throw std::invalid_argument("no dialog template " + std::to_string(templateId));
    }
    return *t;
}

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
