#include "app/qt/Tirvel2App.h"

#include <QApplication>
#include <QEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/core/RecentFileList.h"
#include "app/core/Tirvel2Doc.h"
#include "app/qt/MainFrameWindow.h"
#include "app/qt/SettingsRecentFileStore.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "framework/qt/QtFormView.h"
#include "res/ResourceIds.h"

#ifndef TIRVEL_VERSION
#error "TIRVEL_VERSION comes from the CMake project"
#endif

namespace app {
namespace {

// Quits the event loop once the watched window has painted for the first time.
class FirstPaintWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            QTimer::singleShot(0, qApp, [] {
                std::puts(kFirstPaintLine);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted_ = false;
};

constexpr int kScreenshotTimeoutMs = 90'000;
constexpr int kScreenshotPollMs = 100;
// The debug log is pictured once it has stopped growing for this long.
constexpr int kLogQuietMs = 1000;
// The transfer is pictured once its bar is this far (of 1000) along.
constexpr int kTransferShownAt = 300;

void PrintError(const QString& message) {
    std::fputs(message.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

// Asks ready() at every poll for the window to picture (nullptr: not yet)
// until one comes or the time is up; then pictures it, or says why there is
// no picture, and ends the run. A box or dialog pictured is closed first
// (Cancel: the rest of its work is not wanted), the frame after it.
void PictureOnceReady(CMainFrameWindow* frame, const QString& file,
                      const std::function<QWidget*()>& ready, const QString& notReady) {
    auto* poll = new QTimer(frame);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, frame, [=] {
        *waited += kScreenshotPollMs;
        QWidget* shown = ready();
        if (shown == nullptr && *waited < kScreenshotTimeoutMs) {
            return;
        }
        poll->stop();
        int status = 1;
        if (shown == nullptr) {
            PrintError(notReady);
        } else if (shown->grab().save(file)) {
            status = 0;
        }
        if (shown != nullptr && shown != frame) {
            shown->close();
        }
        QTimer::singleShot(0, frame, [frame, status] {
            frame->close();
            QCoreApplication::exit(status);
        });
    });
    poll->start(kScreenshotPollMs);
}

}  // namespace

CTirvel2App::CTirvel2App(int& argc, char** argv) : app_(argc, argv) {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QCoreApplication::setApplicationVersion(QStringLiteral(TIRVEL_VERSION));
}

CTirvel2App::~CTirvel2App() {
    frame_.reset();
    if (fw::GetDialogHost() == &dialogHost_) {
        fw::SetDialogHost(nullptr);
    }
}

int CTirvel2App::Run(const AppOptions& options) {
    if (!InitInstance(options)) {
        return 1;
    }
    return QApplication::exec();
}

bool CTirvel2App::InitInstance(const AppOptions& options) {
    const fw::Language language = options.language.value_or(fw::LanguageFromEnvironment());
    fw::SetLanguage(language);
    fw::qt::InstallQtTranslations(app_, language);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));

    fw::SetDialogHost(&dialogHost_);
    recentFileStore_ = std::make_unique<CSettingsRecentFileStore>();
    recentFiles_ = std::make_unique<CRecentFileList>(*recentFileStore_);
    document_ = std::make_unique<CTirvel2Doc>(*recentFiles_);
    frame_ = std::make_unique<CMainFrameWindow>(*document_, language);
    dialogHost_.SetMainWindow(frame_.get());
    if (!options.devicePath.empty()) {
        frame_->View().m_strDevicePath = options.devicePath;
    }
    if (!options.firmwarePath.empty()) {
        frame_->View().m_strFirmwarePath = options.firmwarePath;
    }
    ArrangeScriptedRun(options);
    frame_->show();
    return true;
}

void CTirvel2App::ArrangeScriptedRun(const AppOptions& options) {
    CMainFrameWindow* frame = frame_.get();
    if (options.quitAfterStart) {
        frame->installEventFilter(new FirstPaintWatcher(frame));
    }
    if (options.autostart || !options.screenshot.empty()) {
        QTimer::singleShot(0, frame, [frame] { frame->OnCommand(res::ID_START_CONFIG); });
    }
    if (!options.screenshot.empty()) {
        // Polled rather than hooked: the frame hears every state, and the
        // picture is wanted once the values are on the form.
        PictureOnceReady(
            frame, QString::fromStdString(options.screenshot),
            [frame]() -> QWidget* {
                return frame->ConnectionState() == kStateConnected ? frame : nullptr;
            },
            QStringLiteral("tirvel: no device connected; no screenshot taken"));
    }
    if (!options.aboutScreenshot.empty()) {
        const QString file = QString::fromStdString(options.aboutScreenshot);
        QTimer::singleShot(300, frame, [frame, file] {
            // Taken from inside the box's own loop, then the box is closed.
            auto status = std::make_shared<int>(1);
            QTimer::singleShot(300, frame, [file, status] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    *status = box->grab().save(file) ? 0 : 1;
                    box->close();
                }
            });
            frame->OnCommand(res::ID_APP_ABOUT);
            frame->close();
            QCoreApplication::exit(*status);
        });
    }
    if (!options.logScreenshot.empty()) {
        ArrangeLogScreenshot(QString::fromStdString(options.logScreenshot));
    }
    if (!options.transferScreenshot.empty()) {
        ArrangeTransferScreenshot(QString::fromStdString(options.transferScreenshot));
    }
}

void CTirvel2App::ArrangeLogScreenshot(const QString& file) {
    CMainFrameWindow* frame = frame_.get();
    QTimer::singleShot(0, frame, [frame] { frame->OnCommand(res::ID_SHOW_DEBUG_INFO); });
    auto quiet = std::make_shared<int>(0);
    auto last = std::make_shared<std::string>();
    PictureOnceReady(
        frame, file,
        [frame, quiet, last]() -> QWidget* {
            const std::string text = frame->FormView()->GetControlText(res::IDC_LOG_PANE);
            *quiet = text == *last ? *quiet + kScreenshotPollMs : 0;
            *last = text;
            return !text.empty() && *quiet >= kLogQuietMs ? frame : nullptr;
        },
        QStringLiteral("tirvel: the device printed nothing; no screenshot taken"));
}

void CTirvel2App::ArrangeTransferScreenshot(const QString& file) {
    CMainFrameWindow* frame = frame_.get();
    // The poll runs inside the dialog's own loop; Update File returns at once
    // and the dialog opens later from the view's timer.
    PictureOnceReady(
        frame, file,
        []() -> QWidget* {
            QWidget* modal = QApplication::activeModalWidget();
            auto* bar = modal != nullptr ? modal->findChild<QProgressBar*>() : nullptr;
            return bar != nullptr && bar->value() >= kTransferShownAt ? modal : nullptr;
        },
        QStringLiteral("tirvel: no transfer under way; no screenshot taken"));
    QTimer::singleShot(0, frame, [frame] { frame->OnCommand(res::ID_UPDATE_FIRMWARE); });
}

}  // namespace app
