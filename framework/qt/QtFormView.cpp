#include "framework/qt/QtFormView.h"

#include "framework/ModalRun.h"
#include "framework/qt/QtWindowSite.h"

namespace fw::qt {

struct CQtFormView::Impl {
    explicit Impl(CFormView& v) : view(v) {}
    CFormView& view;
    std::unique_ptr<CQtWindowSite> site;
};

CQtFormView::CQtFormView(CFormView& view, Language language, QWidget* parent)
    : QScrollArea(parent), impl_(std::make_unique<Impl>(view)) {
    const DialogTemplate& form = RequireTemplate(view.TemplateId(), language);
    auto* content = new QWidget;
    impl_->site = std::make_unique<CQtWindowSite>(content, view, form);
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
