#include "ScriptedDialogs.h"

#include "res/Dialogs.h"

namespace testsupport {

ScriptedDialogs::ScriptedDialogs(fw::CMessageLoop& loop) : loop_(loop) {
    fw::SetDialogHost(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    fw::SetDialogHost(nullptr);
}

int ScriptedDialogs::RunModal(fw::CDialog& dialog, fw::CWnd*) {
    ScriptedWindow window(loop_, dialog, dialog.TemplateId());
    ShownDialog record{dialog.TemplateId(), {}, {}, 0};
    dialog.OnInitDialog();
    if (const fw::DialogTemplate* t =
            res::FindDialogTemplate(dialog.TemplateId(), fw::CurrentLanguage())) {
        for (const auto& c : t->controls) {
            record.initialText[c.id] = window.Text(c.id);
        }
    }
    while (!dialog.IsEnded()) {
        if (script_.empty() || script_.front().templateId != dialog.TemplateId()) {
            ++unexpected_;
            dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
            break;
        }
        DialogAnswer answer = std::move(script_.front());
        script_.pop_front();
        for (const auto& [id, text] : answer.typed) {
            window.Type(id, text);
        }
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(answer.button), 0);
    }
    record.messageBoxes = window.MessageBoxes();
    record.result = dialog.Result();
    shown_.push_back(std::move(record));
    return dialog.Result();
}

std::optional<std::string> ScriptedDialogs::RunFileDialog(const fw::FileDialogRequest& request) {
    fileRequests_.push_back(request);
    if (files_.empty()) {
        ++unexpected_;
        return std::nullopt;
    }
    auto path = std::move(files_.front());
    files_.pop_front();
    return path;
}

}  // namespace testsupport
