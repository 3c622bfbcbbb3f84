#include "app/win32/Tirvel2App.h"

#include <shellapi.h>

#include "app/core/RecentFileList.h"
#include "app/core/Tirvel2Doc.h"
#include "app/win32/MainFrameWindow.h"
#include "app/win32/ProgramOutput.h"
#include "app/win32/RegistryRecentFileStore.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "framework/win32/Win32Host.h"
#include "res/ResourceIds.h"

namespace app::win32 {
namespace {

// Only where standard output leads somewhere: a bench that waits for the
// line has redirected it, and no one else should see a console or a box.
void AnnounceFirstPaint() {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string line = std::string(kFirstPaintLine) + "\n";
    DWORD written = 0;
    WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(fw::win32::Narrow(words[i]));
    }
    LocalFree(words);
    return arguments;
}

CTirvel2App::CTirvel2App() = default;

CTirvel2App::~CTirvel2App() {
    frame_.reset();
    if (fw::GetDialogHost() == &dialogHost_) {
        fw::SetDialogHost(nullptr);
    }
}

int CTirvel2App::Run(const std::vector<std::string>& arguments, int showCommand) {
    // The system's language already for the command line's own texts.
    fw::SetLanguage(fw::LanguageFromEnvironment());
    const ParseResult parsed = ParseCommandLine(arguments);
    if (parsed.exitStatus) {
        PrintOrShow(parsed.message, *parsed.exitStatus != 0, fw::LoadString(res::IDS_APP_TITLE));
        return *parsed.exitStatus;
    }
    if (!InitInstance(parsed.options, showCommand)) {
        return 1;
    }
    return MessageLoop(parsed.options);
}

bool CTirvel2App::InitInstance(const AppOptions& options, int showCommand) {
    // The form holds rich-edit panes: the library must be loaded before it.
    if (!fw::win32::InitWin32Controls()) {
        return false;
    }
    const fw::Language language = options.language.value_or(fw::LanguageFromEnvironment());
    fw::SetLanguage(language);

    fw::SetDialogHost(&dialogHost_);
    recentFileStore_ = std::make_unique<CRegistryRecentFileStore>();
    recentFiles_ = std::make_unique<CRecentFileList>(*recentFileStore_);
    document_ = std::make_unique<CTirvel2Doc>(*recentFiles_);
    frame_ = std::make_unique<CMainFrameWindow>(*document_, language);
    if (!frame_->IsCreated()) {
        return false;
    }
    frame_->SetQuitOnDestroy(true);
    dialogHost_.SetOwner(frame_->Hwnd());
    if (!options.devicePath.empty()) {
        frame_->View().m_strDevicePath = options.devicePath;
    }
    if (!options.firmwarePath.empty()) {
        frame_->View().m_strFirmwarePath = options.firmwarePath;
    }
    frame_->Show(showCommand);
    if (options.autostart) {
        PostMessageW(frame_->Hwnd(), WM_COMMAND, MAKEWPARAM(res::ID_START_CONFIG, 1), 0);
    }
    return true;
}

int CTirvel2App::MessageLoop(const AppOptions& options) {
    bool started = false;
    return RunMessageLoop(*frame_, [&] {
        frame_->OnIdle();
        if (options.quitAfterStart && !started) {
            AnnounceFirstPaint();
            PostMessageW(frame_->Hwnd(), WM_CLOSE, 0, 0);
        }
        started = true;
    });
}

}  // namespace app::win32
