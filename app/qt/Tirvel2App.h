// The desktop application: the interface language, Qt's own translations, the
// dialog host, one document and the main window, and the hidden options the
// screenshot and start-up measurements drive it with.
#pragma once

#include <QApplication>
#include <memory>

#include "app/core/CommandLine.h"
#include "common/NonCopyable.h"
#include "framework/qt/QtDialogHost.h"

namespace app {

class CMainFrameWindow;
class CRecentFileList;
class CSettingsRecentFileStore;
class CTirvel2Doc;

class CTirvel2App : NonCopyable {
public:
    CTirvel2App(int& argc, char** argv);
    ~CTirvel2App();

    // Start-up with the options of the command line, read before Qt started
    // (app/qt/QtCommandLine.h), then the event loop and the exit code.
    int Run(const AppOptions& options);

private:
    bool InitInstance(const AppOptions& options);
    void ArrangeScriptedRun(const AppOptions& options);
    void ArrangeLogScreenshot(const QString& file);
    void ArrangeTransferScreenshot(const QString& file);

    QApplication app_;
    fw::qt::CQtDialogHost dialogHost_;
    std::unique_ptr<CSettingsRecentFileStore> recentFileStore_;
    std::unique_ptr<CRecentFileList> recentFiles_;
    std::unique_ptr<CTirvel2Doc> document_;
    std::unique_ptr<CMainFrameWindow> frame_;
};

}  // namespace app
