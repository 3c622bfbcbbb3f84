// The desktop application: the interface language, Qt's own translations, the
// dialog host, one document and the main window, and the hidden options the
// screenshot and start-up measurements drive it with.
#pragma once

#include <QApplication>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "framework/Language.h"
#include "framework/qt/QtDialogHost.h"

namespace app {

class CMainFrameWindow;
class CRecentFileList;
class CTirvel2Doc;

struct AppOptions {
    std::optional<fw::Language> language;  // --lang; else from the environment
    std::string devicePath;                // --device: a path instead of the COM number
    bool autostart = false;                // --autostart: Start Config once the window is up
    QString screenshot;           // --screenshot FILE: the window, once Connected, then exit
    QString aboutScreenshot;      // --about-screenshot FILE: the About box, then exit
    QString logScreenshot;        // --log-screenshot FILE: Show Log, once the log is still
    QString transferScreenshot;   // --transfer-screenshot FILE: the transfer dialog mid-way
    std::string firmwarePath;     // --firmware FILE: the image Update File sends
    bool quitAfterStart = false;  // --quit-after-start: exit after the first paint
};

class CTirvel2App {
public:
    CTirvel2App(int& argc, char** argv);
    ~CTirvel2App();
    CTirvel2App(const CTirvel2App&) = delete;
    CTirvel2App& operator=(const CTirvel2App&) = delete;

    // Start-up, the event loop and the exit code.
    int Run();

    // The options from the command line (Qt's own removed); a message and an
    // exit status when the line is wrong or asked for help.
    struct ParseResult {
        AppOptions options;
        std::optional<int> exitStatus;
        QString message;
    };
    static ParseResult ParseCommandLine(const QStringList& arguments);

private:
    bool InitInstance(const AppOptions& options);
    void ArrangeScriptedRun(const AppOptions& options);
    void ArrangeLogScreenshot(const QString& file);
    void ArrangeTransferScreenshot(const QString& file);

    QApplication app_;
    fw::qt::CQtDialogHost dialogHost_;
    std::unique_ptr<CRecentFileList> recentFiles_;
    std::unique_ptr<CTirvel2Doc> document_;
    std::unique_ptr<CMainFrameWindow> frame_;
};

}  // namespace app
