// The desktop application on Win32: the interface language, the common
// controls, the dialog host, one document and the main window, the message
// loop with its idle processing, and the hidden options the start-up
// measurement and the end-to-end tests drive it with.
#pragma once

#include "framework/win32/Win32Api.h"

#include <memory>
#include <string>
#include <vector>

#include "app/core/CommandLine.h"
#include "framework/win32/Win32DialogHost.h"

#include "common/NonCopyable.h"

namespace app {
class CRecentFileList;
class CTirvel2Doc;
}  // namespace app

namespace app::win32 {

class CMainFrameWindow;
class CRegistryRecentFileStore;

class CTirvel2App : NonCopyable {
public:
    CTirvel2App();
    ~CTirvel2App();

    // Start-up, the message loop and the exit code, for the arguments after
    // the program's name (UTF-8).
    int Run(const std::vector<std::string>& arguments, int showCommand);

    // The options from the command line; a message and an exit status when
    // the line is wrong or asked for help or the version. This shell takes no
    // screenshots: their options are unknown here.
    static ParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
        return app::ParseCommandLine(arguments, false);
    }

    CMainFrameWindow* Frame() const { return frame_.get(); }

private:
    bool InitInstance(const AppOptions& options, int showCommand);
    int MessageLoop(const AppOptions& options);

    fw::win32::CWin32DialogHost dialogHost_;
    std::unique_ptr<CRegistryRecentFileStore> recentFileStore_;
    std::unique_ptr<CRecentFileList> recentFiles_;
    std::unique_ptr<CTirvel2Doc> document_;
    std::unique_ptr<CMainFrameWindow> frame_;
};

// The process's command line as UTF-8 arguments, without the program's name.
std::vector<std::string> CommandLineArguments();

}  // namespace app::win32
