#include "app/win32/StationApp.h"

#include "framework/win32/Win32Api.h"

#include "app/core/StationCommandLine.h"
#include "app/win32/ProgramOutput.h"
#include "app/win32/RegistryStationJobStore.h"
#include "app/win32/StationFrameWindow.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "framework/win32/Win32DialogHost.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "res/StationIds.h"

namespace app::win32 {
int RunStation(const std::vector<std::string>& arguments, int showCommand) {
    fw::SetLanguage(fw::LanguageFromEnvironment());
    // This shell takes no pictures of itself: --screenshot is unknown here.
    const StationParseResult parsed = ParseStationCommandLine(arguments, false);
    if (parsed.options.language) {
        fw::SetLanguage(*parsed.options.language);
    }
    const std::string caption = fw::LoadString(res::IDS_STATION_CAPTION);
    if (parsed.exitStatus) {
        if (*parsed.exitStatus == 0) {
            PrintOrShow(parsed.message, false, caption);
        } else {
            // An operator's shortcut has no console: a wrong value is said in a box.
            MessageBoxW(nullptr, fw::win32::Widen(parsed.message).c_str(),
                        fw::win32::Widen(caption).c_str(), MB_ICONERROR | MB_OK);
        }
        return *parsed.exitStatus;
    }
    if (!fw::win32::InitWin32Controls()) {
        return 1;
    }
    fw::win32::CWin32DialogHost dialogHost;
    fw::SetDialogHost(&dialogHost);
    int status = 1;
    {
        CRegistryStationJobStore store;
        CStationFrameWindow frame(store, fw::CurrentLanguage());
        if (frame.IsCreated()) {
            frame.SetQuitOnDestroy(true);
            dialogHost.SetOwner(frame.Hwnd());
            frame.View().SetJobForm(MergeStationForm(store.Load(), parsed.options));
            frame.Show(showCommand);
            if (parsed.options.start) {
                // As the Start button's click, once the window is up.
                const HWND start = frame.FormView()->Control(res::IDC_STATION_START);
                PostMessageW(frame.FormView()->FormHwnd(), WM_COMMAND,
                             MAKEWPARAM(res::IDC_STATION_START, BN_CLICKED),
                             reinterpret_cast<LPARAM>(start));
            }
            status = RunMessageLoop(frame);
        }
    }
    fw::SetDialogHost(nullptr);
    return status;
}

}  // namespace app::win32
