#include "ScriptedWindow.h"

#include <stdexcept>

#include "res/Dialogs.h"

namespace testsupport {

ScriptedWindow::ScriptedWindow(fw::CMessageLoop& loop, fw::CWnd& window, fw::UINT templateId,
                               fw::Language language)
    : loop_(loop), window_(window) {
    const fw::DialogTemplate* t = res::FindDialogTemplate(templateId, language);
    if (t == nullptr) {
        throw std::invalid_argument("no dialog template " + std::to_string(templateId));
    }
    for (const auto& c : t->controls) {
        Control control;
        control.kind = c.kind;
        control.text = c.caption;
        control.visible = (c.style & fw::kHidden) == 0;
        control.enabled = (c.style & fw::kDisabled) == 0;
        control.readOnly = (c.style & fw::kReadOnly) != 0;
        controls_[c.id] = control;
    }
    window_.AttachSite(this);
}

ScriptedWindow::~ScriptedWindow() {
    window_.AttachSite(nullptr);
    loop_.Forget(&window_);
}

bool ScriptedWindow::Type(int id, const std::string& utf8) {
    auto it = controls_.find(id);
    if (it == controls_.end() || it->second.readOnly || !it->second.visible ||
        !it->second.enabled || it->second.kind != fw::ControlKind::Edit) {
        return false;
    }
    it->second.text = utf8;
    focus_ = id;
    return true;
}

bool ScriptedWindow::Click(int id) {
    auto it = controls_.find(id);
    if (it == controls_.end() || !it->second.visible || !it->second.enabled) {
        return false;
    }
    if (it->second.kind == fw::ControlKind::CheckBox) {
        it->second.check = it->second.check ? 0 : 1;
        return true;
    }
    if (it->second.kind != fw::ControlKind::PushButton) {
        return false;
    }
    window_.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(id), 0);
    return true;
}

void ScriptedWindow::Command(int id) {
    window_.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(id), 0);
}

std::string ScriptedWindow::Text(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.text : std::string();
}

bool ScriptedWindow::Visible(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() && it->second.visible;
}

bool ScriptedWindow::Enabled(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() && it->second.enabled;
}

int ScriptedWindow::Check(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.check : 0;
}

std::vector<fw::UINT> ScriptedWindow::MessageBoxTexts() const {
    std::vector<fw::UINT> ids;
    for (const auto& b : boxes_) {
        ids.push_back(b.textId);
    }
    return ids;
}

void ScriptedWindow::ShowControl(int id, int showCommand) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.visible = showCommand != fw::SW_HIDE;
    }
}

void ScriptedWindow::EnableControl(int id, bool enable) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.enabled = enable;
    }
}

void ScriptedWindow::FocusControl(int id) {
    if (controls_.count(id) != 0) {
        focus_ = id;
    }
}

void ScriptedWindow::SetControlText(int id, const std::string& utf8) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.text = utf8;
    }
}

void ScriptedWindow::SetControlCheck(int id, int state) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.check = state;
    }
}

const fw::RichEditLook* ScriptedWindow::Look(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() && it->second.hasLook ? &it->second.look : nullptr;
}

std::pair<int, int> ScriptedWindow::SizePixels(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.size : std::pair<int, int>{0, 0};
}

void ScriptedWindow::AppendControlText(int id, const std::string& utf8) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.text += utf8;
    }
}

void ScriptedWindow::SetRichEditLook(int id, const fw::RichEditLook& look) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.hasLook = true;
        it->second.look = look;
    }
}

void ScriptedWindow::SetControlSizePixels(int id, int width, int height) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.size = {width, height};
    }
}

int ScriptedWindow::MessageBoxById(fw::UINT textId, fw::UINT captionId, fw::UINT type,
                                   const fw::MessageArgs& args) {
    RecordedMessageBox box{textId, captionId, type, args};
    boxes_.push_back(box);
    return onMessageBox ? onMessageBox(box) : fw::IDOK;
}

void ScriptedWindow::PostMessage(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) {
    loop_.Post(&window_, message, wParam, lParam);
}

fw::UINT ScriptedWindow::SetTimer(fw::UINT id, fw::UINT periodMs) {
    return loop_.SetTimer(&window_, id, periodMs);
}

bool ScriptedWindow::KillTimer(fw::UINT id) {
    return loop_.KillTimer(&window_, id);
}

}  // namespace testsupport
