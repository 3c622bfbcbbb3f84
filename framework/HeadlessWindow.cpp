#include "framework/HeadlessWindow.h"

#include "framework/ModalRun.h"

namespace fw {

CHeadlessWindow::CHeadlessWindow(CMessageLoop& loop, CWnd& window, UINT templateId,
                                 Language language)
    : CHeadlessWindow(loop, window, RequireTemplate(templateId, language)) {}

CHeadlessWindow::CHeadlessWindow(CMessageLoop& loop, CWnd& window, DialogTemplate dialogTemplate)
    : CWindowSiteCore(window), loop_(loop), template_(std::move(dialogTemplate)) {
    for (const auto& c : template_.controls) {
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

CHeadlessWindow::Control* CHeadlessWindow::Find(int id) {
    auto it = controls_.find(id);
    return it != controls_.end() ? &it->second : nullptr;
}

const CHeadlessWindow::Control* CHeadlessWindow::Find(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? &it->second : nullptr;
}

bool CHeadlessWindow::Type(int id, const std::string& utf8) {
    Control* c = Find(id);
    if (c == nullptr || c->readOnly || !c->visible || !c->enabled ||
        (c->kind != ControlKind::Edit && c->kind != ControlKind::ComboBox)) {
        return false;
    }
    c->text = utf8;
    focus_ = id;
    if (c->kind == ControlKind::ComboBox) {
        Window().WindowProc(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), CBN_EDITCHANGE), 0);
    }
    return true;
}

bool CHeadlessWindow::Click(int id) {
    Control* c = Find(id);
    if (c == nullptr || !c->visible || !c->enabled) {
        return false;
    }
    switch (c->kind) {
        case ControlKind::CheckBox:
            c->check = c->check ? 0 : 1;
            return true;
        case ControlKind::RadioButton:
            CheckRadio(id);
            Window().WindowProc(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED), 0);
            return true;
        case ControlKind::PushButton:
            Window().WindowProc(WM_COMMAND, static_cast<WPARAM>(id), 0);
            return true;
        default:
            return false;
    }
}

bool CHeadlessWindow::Choose(int id, std::size_t item) {
    Control* c = Find(id);
    if (c == nullptr || !c->visible || !c->enabled || c->kind != ControlKind::ComboBox ||
        item >= c->items.size()) {
        return false;
    }
    c->text = c->items[item];
    Window().WindowProc(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), CBN_SELCHANGE), 0);
    return true;
}

bool CHeadlessWindow::DropDown(int id) {
    const Control* c = Find(id);
    if (c == nullptr || !c->visible || !c->enabled || c->kind != ControlKind::ComboBox) {
        return false;
    }
    Window().WindowProc(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), CBN_DROPDOWN), 0);
    return true;
}

void CHeadlessWindow::CheckRadio(int id) {
    for (int sibling : template_.RadioGroup(id)) {
        if (Control* c = Find(sibling)) {
            c->check = sibling == id ? 1 : 0;
        }
    }
}

void CHeadlessWindow::Command(int id) {
    Window().WindowProc(WM_COMMAND, static_cast<WPARAM>(id), 0);
}

std::string CHeadlessWindow::GetControlText(int id) const {
    const Control* c = Find(id);
    return c != nullptr ? c->text : std::string();
}

bool CHeadlessWindow::IsControlVisible(int id) const {
    const Control* c = Find(id);
    return c != nullptr && c->visible;
}

bool CHeadlessWindow::IsControlEnabled(int id) const {
    const Control* c = Find(id);
    return c != nullptr && c->enabled;
}

int CHeadlessWindow::GetControlCheck(int id) const {
    const Control* c = Find(id);
    return c != nullptr ? c->check : 0;
}

std::vector<UINT> CHeadlessWindow::MessageBoxTexts() const {
    std::vector<UINT> ids;
    for (const auto& b : boxes_) {
        ids.push_back(b.textId);
    }
    return ids;
}

void CHeadlessWindow::ShowControl(int id, int showCommand) {
    if (Control* c = Find(id)) {
        c->visible = showCommand != SW_HIDE;
    }
}

void CHeadlessWindow::EnableControl(int id, bool enable) {
    if (Control* c = Find(id)) {
        c->enabled = enable;
    }
}

void CHeadlessWindow::FocusControl(int id) {
    if (Exists(id)) {
        focus_ = id;
    }
}

void CHeadlessWindow::SetControlText(int id, const std::string& utf8) {
    if (Control* c = Find(id)) {
        c->text = utf8;
    }
}

void CHeadlessWindow::SetControlCheck(int id, int state) {
    Control* c = Find(id);
    if (c == nullptr) {
        return;
    }
    if (c->kind == ControlKind::RadioButton && state != 0) {
        CheckRadio(id);
    } else {
        c->check = state;
    }
}

const RichEditLook* CHeadlessWindow::Look(int id) const {
    const Control* c = Find(id);
    return c != nullptr && c->hasLook ? &c->look : nullptr;
}

std::pair<int, int> CHeadlessWindow::SizePixels(int id) const {
    const Control* c = Find(id);
    return c != nullptr ? c->size : std::pair<int, int>{0, 0};
}

std::pair<int, int> CHeadlessWindow::ProgressRange(int id) const {
    const Control* c = Find(id);
    return c != nullptr ? c->range : std::pair<int, int>{0, 0};
}

int CHeadlessWindow::ProgressPos(int id) const {
    const Control* c = Find(id);
    return c != nullptr ? c->pos : 0;
}

void CHeadlessWindow::SetProgressRange(int id, int low, int high) {
    Control* c = Find(id);
    if (c != nullptr && c->kind == ControlKind::ProgressBar) {
        c->range = {low, high};
    }
}

void CHeadlessWindow::SetProgressPos(int id, int pos) {
    Control* c = Find(id);
    if (c != nullptr && c->kind == ControlKind::ProgressBar) {
        c->pos = pos;
    }
}

std::vector<std::string> CHeadlessWindow::Items(int id) const {
    const Control* c = Find(id);
    return c != nullptr ? c->items : std::vector<std::string>{};
}

const TextLook* CHeadlessWindow::TextLookOf(int id) const {
    const Control* c = Find(id);
    return c != nullptr && c->hasTextLook ? &c->textLook : nullptr;
}

void CHeadlessWindow::SetControlItems(int id, const std::vector<std::string>& utf8Items) {
    Control* c = Find(id);
    if (c != nullptr && c->kind == ControlKind::ComboBox) {
        c->items = utf8Items;
    }
}

void CHeadlessWindow::SetTextLook(int id, const TextLook& look) {
    Control* c = Find(id);
    if (c != nullptr && c->kind == ControlKind::Static) {
        c->hasTextLook = true;
        c->textLook = look;
    }
}

void CHeadlessWindow::AppendControlText(int id, const std::string& utf8) {
    if (Control* c = Find(id)) {
        c->text += utf8;
    }
}

void CHeadlessWindow::SetRichEditLook(int id, const RichEditLook& look) {
    if (Control* c = Find(id)) {
        c->hasLook = true;
        c->look = look;
    }
}

void CHeadlessWindow::SetControlSizePixels(int id, int width, int height) {
    if (Control* c = Find(id)) {
        c->size = {width, height};
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
