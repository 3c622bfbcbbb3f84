// The station window on Win32: the station view's form as the whole client
// area of a top-level window (class "tirvel-station"). Closing while a job
// runs asks the view first; the last job is remembered when the window goes.
#pragma once

#include "framework/win32/Win32Api.h"

#include <memory>

#include "app/core/StationJobStore.h"
#include "common/NonCopyable.h"
#include "framework/Language.h"
#include "framework/win32/Win32WindowObject.h"
#include "station/view/StationView.h"

namespace fw::win32 {
class CWin32FormView;
}

namespace app::win32 {

class CStationFrameWindow : NonCopyable {
public:
    static constexpr wchar_t kClassName[] = L"tirvel-station";
    static constexpr UINT kViewId = 0xE900;

    // Builds the window (hidden) in the language given; IsCreated() tells
    // whether it and its form exist.
    CStationFrameWindow(IStationJobStore& store, fw::Language language);
    ~CStationFrameWindow();

    bool IsCreated() const { return hwnd_ != nullptr && formView_ != nullptr; }
    HWND Hwnd() const { return hwnd_; }
    CStationView& View() const { return *view_; }
    fw::win32::CWin32FormView* FormView() const { return formView_.get(); }

    // The program ends with the window; one made by a test leaves the loop alone.
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }
    // The form's keyboard (Tab, Enter on a button); true when used up.
    bool PreTranslateMessage(MSG* message);

private:
    template <typename Object>
    friend LRESULT CALLBACK fw::win32::WindowObjectProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                             LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void PlaceOnScreen();
    void Layout();

    IStationJobStore& store_;
    fw::Language language_;
    std::unique_ptr<CStationView> view_;
    std::unique_ptr<fw::win32::CWin32FormView> formView_;
    HWND hwnd_ = nullptr;
    bool quitOnDestroy_ = false;
};

}  // namespace app::win32
