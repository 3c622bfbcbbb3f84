#include "app/win32/StationFrameWindow.h"

#include "framework/StringTable.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "res/StationIds.h"

namespace app::win32 {

CStationFrameWindow::CStationFrameWindow(IStationJobStore& store, fw::Language language)
    : store_(store), view_(std::make_unique<CStationView>()) {
    if (!Create(kClassName, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),  // IDC_ARROW
                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)),
                fw::win32::Widen(fw::LoadString(res::IDS_STATION_CAPTION)), {800, 600}, *view_,
                language)) {
        return;
    }
    // The whole form where the screen has room for it, scroll bars otherwise;
    // the width has room for the vertical bar, so a short screen does not
    // bring a horizontal one too.
    PlaceOnScreen({GetSystemMetrics(SM_CXVSCROLL), 0}, {0, 0});
    view_->OnInitialUpdate();
    view_->SetCloseRequest([this] { PostMessageW(hwnd_, WM_CLOSE, 0, 0); });
}

CStationFrameWindow::~CStationFrameWindow() {
    view_->EndJob();
    DestroyFrame();
    view_.reset();
}

bool CStationFrameWindow::MayClose() {
    // A running job asks first; Finish or Abort closes again once it has ended.
    if (!view_->QueryClose()) {
        return false;
    }
    store_.Save(view_->GetJobForm());
    return true;
}

void CStationFrameWindow::Layout() {
    if (formView_ == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    formView_->Move(client);
}

}  // namespace app::win32
