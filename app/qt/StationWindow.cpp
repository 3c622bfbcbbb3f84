#include "app/qt/StationWindow.h"

#include <QCloseEvent>
#include <QIcon>

#include "framework/StringTable.h"
#include "framework/qt/QtFormView.h"
#include "res/StationIds.h"

namespace app {

CStationWindow::CStationWindow(IStationJobStore& store, fw::Language language, QWidget* parent)
    : QMainWindow(parent), store_(store), view_(std::make_unique<CStationView>()) {
    setWindowTitle(QString::fromStdString(fw::LoadString(res::IDS_STATION_CAPTION)));
    setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));
    formView_ = new fw::qt::CQtFormView(*view_, language, this);
    setCentralWidget(formView_);
    resize(formView_->FormSizePixels() + QSize(4, 4));
    view_->OnInitialUpdate();
    view_->SetCloseRequest([this] { close(); });
}

CStationWindow::~CStationWindow() {
    view_->EndJob();
    // The form's window goes before the view it is the window of.
    delete takeCentralWidget();
    formView_ = nullptr;
    view_.reset();
}

void CStationWindow::closeEvent(QCloseEvent* event) {
    if (!view_->QueryClose()) {
        event->ignore();
        return;
    }
    store_.Save(view_->GetJobForm());
    event->accept();
}

}  // namespace app
