#include "framework/qt/QtFormView.h"

#include <stdexcept>
#include <string>

#include "framework/qt/QtWindowSite.h"
#include "res/Dialogs.h"

namespace fw::qt {

struct CQtFormView::Impl {
    explicit Impl(CFormView& v) : view(v) {}
    CFormView& view;
    std::unique_ptr<CQtWindowSite> site;
};

CQtFormView::CQtFormView(CFormView& view, Language language, QWidget* parent)
    : QScrollArea(parent), impl_(std::make_unique<Impl>(view)) {
    const DialogTemplate* t = res::FindDialogTemplate(view.TemplateId(), language);
    if (t == nullptr) {
        throw std::invalid_argument("no dialog template " + std::to_string(view.TemplateId()));
    }
    auto* content = new QWidget;
    impl_->site = std::make_unique<CQtWindowSite>(content, view, *t);
    setWidget(content);
    setWidgetResizable(false);
    view.AttachSite(this);
}

CQtFormView::~CQtFormView() {
    if (impl_->view.Site() == this) {
        impl_->view.AttachSite(nullptr);
    }
    // Timers and messages still queued go with the site, before the controls.
    impl_->site.reset();
}

CFormView& CQtFormView::View() const {
    return impl_->view;
}

QWidget* CQtFormView::Control(int id) const {
    return impl_->site->Control(id);
}

QSize CQtFormView::FormSizePixels() const {
    return impl_->site->SizePixels();
}

void CQtFormView::SendCommand(UINT id) {
    impl_->site->SendCommand(id);
}

void CQtFormView::ShowControl(int id, int showCommand) {
    impl_->site->ShowControl(id, showCommand);
}

bool CQtFormView::IsControlVisible(int id) const {
    return impl_->site->IsControlVisible(id);
}

void CQtFormView::EnableControl(int id, bool enable) {
    impl_->site->EnableControl(id, enable);
}

bool CQtFormView::IsControlEnabled(int id) const {
    return impl_->site->IsControlEnabled(id);
}

void CQtFormView::FocusControl(int id) {
    impl_->site->FocusControl(id);
}

void CQtFormView::SetControlText(int id, const std::string& utf8) {
    impl_->site->SetControlText(id, utf8);
}

std::string CQtFormView::GetControlText(int id) const {
    return impl_->site->GetControlText(id);
}

void CQtFormView::SetControlCheck(int id, int state) {
    impl_->site->SetControlCheck(id, state);
}

int CQtFormView::GetControlCheck(int id) const {
    return impl_->site->GetControlCheck(id);
}

void CQtFormView::AppendControlText(int id, const std::string& utf8) {
    impl_->site->AppendControlText(id, utf8);
}

void CQtFormView::SetRichEditLook(int id, const RichEditLook& look) {
    impl_->site->SetRichEditLook(id, look);
}

void CQtFormView::SetControlSizePixels(int id, int width, int height) {
    impl_->site->SetControlSizePixels(id, width, height);
}

int CQtFormView::MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) {
    return impl_->site->MessageBoxById(textId, captionId, type, args);
}

void CQtFormView::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    impl_->site->PostMessage(message, wParam, lParam);
}

UINT CQtFormView::SetTimer(UINT id, UINT periodMs) {
    return impl_->site->SetTimer(id, periodMs);
}

bool CQtFormView::KillTimer(UINT id) {
    return impl_->site->KillTimer(id);
}

}  // namespace fw::qt
