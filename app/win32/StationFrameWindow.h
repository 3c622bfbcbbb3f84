// The station window on Win32: the station view's form as the whole client
// area of a top-level window (class "tirvel-station"). Closing while a job
// runs asks the view first; the last job is remembered when the window goes.
#pragma once

#include "app/core/StationJobStore.h"
#include "app/win32/FormFrame.h"
#include "station/view/StationView.h"

namespace app::win32 {

class CStationFrameWindow : public CFormFrame {
public:
    static constexpr wchar_t kClassName[] = L"tirvel-station";

    // Builds the window (hidden) in the language given; IsCreated() tells
    // whether it and its form exist.
    CStationFrameWindow(IStationJobStore& store, fw::Language language);
    ~CStationFrameWindow() override;

    CStationView& View() const { return *view_; }

private:
    void Layout() override;
    bool MayClose() override;

    IStationJobStore& store_;
    std::unique_ptr<CStationView> view_;
};

}  // namespace app::win32
