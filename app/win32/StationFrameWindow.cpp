#include "app/win32/StationFrameWindow.h"

#include "framework/StringTable.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"

namespace app::win32 {

CStationFrameWindow::CStationFrameWindow(IStationJobStore& store, fw::Language language)
    : store_(store), language_(language), view_(std::make_unique<CStationView>()) {
    if (!Create(kClassName, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),  // IDC_ARROW
                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)),
                fw::win32::Widen(fw::LoadString(res::IDS_STATION_CAPTION)), {800, 600})) {
        return;
    }
    // The whole form where the screen has room for it, scroll bars otherwise.
    PlaceOnScreen({0, 0}, {0, 0});
    Layout();
    view_->OnInitialUpdate();
    view_->SetCloseRequest([this] { PostMessageW(hwnd_, WM_CLOSE, 0, 0); });
}

CStationFrameWindow::~CStationFrameWindow() {
    view_->EndJob();
    DestroyFrame();
    view_.reset();
}

LRESULT CStationFrameWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return CreateForm(*view_, language_) ? 0 : -1;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_SETFOCUS:
            if (formView_ != nullptr) {
                SetFocus(formView_->Hwnd());
            }
            return 0;
        case WM_CLOSE:
            // A running job asks first; Finish or Abort closes again once it has ended.
            if (!view_->QueryClose()) {
                return 0;
            }
            store_.Save(view_->GetJobForm());
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            EndProgramIfAsked();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
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
