#include "framework/HeadlessWindow.h"

#include <stdexcept>

#include "res/Dialogs.h"

namespace fw {

CHeadlessWindow::CHeadlessWindow(CMessageLoop& loop, CWnd& window, UINT templateId,
                                 Language language)
    : CWindowSiteCore(window), loop_(loop) {
    const DialogTemplate* t = res::FindDialogTemplate(templateId, language);
    if (t == nullptr) {
        throw std::invalid_argument("no dialog template " + std::to_string(templateId));
    }
    for (const auto& c : t->controls) {
        Control control;
        control.kind = c.kind;
        control.text = c.caption;
        control.visible = (c.style & kHidden) == 0;
        control.enabled = (c.style & kDisabled) == 0;
        control.readOnly = (c.style & kReadOnly) != 0;
        controls_[c.id] = control;
    }
    window.AttachSite(this);
}

CHeadlessWindow::~CHeadlessWindow() {
    Window().AttachSite(nullptr);
    loop_.Forget(&announcement_);
    loop_.Forget(&Window());
}

bool CHeadlessWindow::Type(int id, const std::string& utf8) {
    auto it = controls_.find(id);
    if (it == controls_.end() || it->second.readOnly || !it->second.visible ||
        !it->second.enabled || it->second.kind != ControlKind::Edit) {
        return false;
    }
    it->second.text = utf8;
    focus_ = id;
    return true;
}

bool CHeadlessWindow::Click(int id) {
    auto it = controls_.find(id);
    if (it == controls_.end() || !it->second.visible || !it->second.enabled) {
        return false;
    }
    if (it->second.kind == ControlKind::CheckBox) {
        it->second.check = it->second.check ? 0 : 1;
        return true;
    }
    if (it->second.kind != ControlKind::PushButton) {
        return false;
    }
    Window().WindowProc(WM_COMMAND, static_cast<WPARAM>(id), 0);
    return true;
}

void CHeadlessWindow::Command(int id) {
    Window().WindowProc(WM_COMMAND, static_cast<WPARAM>(id), 0);
}

std::string CHeadlessWindow::Text(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.text : std::string();
}

bool CHeadlessWindow::Visible(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() && it->second.visible;
}

bool CHeadlessWindow::Enabled(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() && it->second.enabled;
}

int CHeadlessWindow::Check(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.check : 0;
}

std::vector<UINT> CHeadlessWindow::MessageBoxTexts() const {
    std::vector<UINT> ids;
    for (const auto& b : boxes_) {
        ids.push_back(b.textId);
    }
    return ids;
}

void CHeadlessWindow::ShowControl(int id, int showCommand) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.visible = showCommand != SW_HIDE;
    }
}

void CHeadlessWindow::EnableControl(int id, bool enable) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.enabled = enable;
    }
}

void CHeadlessWindow::FocusControl(int id) {
    if (controls_.count(id) != 0) {
        focus_ = id;
    }
}

void CHeadlessWindow::SetControlText(int id, const std::string& utf8) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.text = utf8;
    }
}

void CHeadlessWindow::SetControlCheck(int id, int state) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.check = state;
    }
}

const RichEditLook* CHeadlessWindow::Look(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() && it->second.hasLook ? &it->second.look : nullptr;
}

std::pair<int, int> CHeadlessWindow::SizePixels(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.size : std::pair<int, int>{0, 0};
}

std::pair<int, int> CHeadlessWindow::ProgressRange(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.range : std::pair<int, int>{0, 0};
}

int CHeadlessWindow::ProgressPos(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.pos : 0;
}

void CHeadlessWindow::SetProgressRange(int id, int low, int high) {
    auto it = controls_.find(id);
    if (it != controls_.end() && it->second.kind == ControlKind::ProgressBar) {
        it->second.range = {low, high};
    }
}

void CHeadlessWindow::SetProgressPos(int id, int pos) {
    auto it = controls_.find(id);
    if (it != controls_.end() && it->second.kind == ControlKind::ProgressBar) {
        it->second.pos = pos;
    }
}

void CHeadlessWindow::AppendControlText(int id, const std::string& utf8) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.text += utf8;
    }
}

void CHeadlessWindow::SetRichEditLook(int id, const RichEditLook& look) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.hasLook = true;
        it->second.look = look;
    }
}

void CHeadlessWindow::SetControlSizePixels(int id, int width, int height) {
    auto it = controls_.find(id);
    if (it != controls_.end()) {
        it->second.size = {width, height};
    }
}

int CHeadlessWindow::MessageBoxById(UINT textId, UINT captionId, UINT type,
                                    const MessageArgs& args) {
    RecordedMessageBox box{textId, captionId, type, args};
    boxes_.push_back(box);
    return onMessageBox ? onMessageBox(box) : IDOK;
}

LRESULT CHeadlessWindow::CAnnouncement::WindowProc(UINT, WPARAM, LPARAM) {
    site_.DeliverPosted();
    return 0;
}

void CHeadlessWindow::AnnouncePosted() {
    loop_.Post(&announcement_, WM_USER, 0, 0);
}

bool CHeadlessWindow::StartTimer(UINT id, UINT periodMs) {
    return loop_.SetTimer(&Window(), id, periodMs) != 0;
}

bool CHeadlessWindow::StopTimer(UINT id) {
    return loop_.KillTimer(&Window(), id);
}

}  // namespace fw
