// The station window on Qt Widgets: the station view's form as the central
// widget of a main window. Closing while a job runs asks the view first.
#pragma once

#include <QMainWindow>
#include <memory>

#include "app/core/StationJobStore.h"
#include "framework/Language.h"
#include "station/view/StationView.h"

namespace fw::qt {
class CQtFormView;
}

namespace app {

class CStationWindow : public QMainWindow {
    Q_OBJECT
public:
    CStationWindow(IStationJobStore& store, fw::Language language, QWidget* parent = nullptr);
    ~CStationWindow() override;

    CStationView& View() const { return *view_; }
    fw::qt::CQtFormView* FormView() const { return formView_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    IStationJobStore& store_;
    std::unique_ptr<CStationView> view_;
    fw::qt::CQtFormView* formView_ = nullptr;
};

}  // namespace app
