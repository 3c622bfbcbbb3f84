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
    RelayTo(impl_->site.get());
    setWidget(content);
    setWidgetResizable(false);
    view.AttachSite(this);
}

CQtFormView::~CQtFormView() {
    if (impl_->view.Site() == this) {
        impl_->view.AttachSite(nullptr);
    }
    // Timers and messages still queued go with the site, before the controls.
    RelayTo(nullptr);
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

}  // namespace fw::qt
