#include "app/Tirvel2App.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/MainFrameWindow.h"
#include "app/RecentFileList.h"
#include "app/Tirvel2Doc.h"
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

QString Text(fw::UINT id) {
    return QString::fromStdString(fw::LoadString(id));
}

// Quits the event loop once the watched window has painted for the first time.
class FirstPaintWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
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

CTirvel2App::ParseResult CTirvel2App::ParseCommandLine(const QStringList& arguments) {
    ParseResult result;
    QCommandLineParser parser;
    parser.setApplicationDescription(Text(res::IDS_APP_USAGE));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption lang(QStringLiteral("lang"), Text(res::IDS_APP_OPTION_LANG),
                                  QStringLiteral("en|zh"));
    parser.addOption(lang);

    // For tests, screenshots and measurements; not part of the operator's tool.
    const auto hidden = [&parser](const QString& name, const QString& value = {}) {
        QCommandLineOption option(name, QString(), value);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
        return option;
    };
    const QCommandLineOption device = hidden(QStringLiteral("device"), QStringLiteral("path"));
    const QCommandLineOption autostart = hidden(QStringLiteral("autostart"));
    const QCommandLineOption screenshot =
        hidden(QStringLiteral("screenshot"), QStringLiteral("file"));
    const QCommandLineOption aboutScreenshot =
        hidden(QStringLiteral("about-screenshot"), QStringLiteral("file"));
    const QCommandLineOption quitAfterStart = hidden(QStringLiteral("quit-after-start"));
    const QCommandLineOption logScreenshot =
        hidden(QStringLiteral("log-screenshot"), QStringLiteral("file"));
    const QCommandLineOption transferScreenshot =
        hidden(QStringLiteral("transfer-screenshot"), QStringLiteral("file"));
    const QCommandLineOption firmware = hidden(QStringLiteral("firmware"), QStringLiteral("file"));

    if (!parser.parse(arguments)) {
        result.message = parser.errorText();
        result.exitStatus = 2;
        return result;
    }
    if (parser.isSet(help)) {
        result.message = parser.helpText();
        result.exitStatus = 0;
        return result;
    }
    if (parser.isSet(version)) {
        result.message = QCoreApplication::applicationName() + QLatin1Char(' ') +
                         QCoreApplication::applicationVersion();
        result.exitStatus = 0;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.message = parser.helpText();
        result.exitStatus = 2;
        return result;
    }
    if (parser.isSet(lang)) {
        const std::string value = parser.value(lang).toStdString();
        result.options.language = fw::ParseLanguage(value);
        if (!result.options.language) {
            result.message = QString::fromStdString(
                fw::FormatMessageText(fw::LoadString(res::IDS_CLI_BAD_LANGUAGE), {value}));
            result.exitStatus = 2;
            return result;
        }
    }
    result.options.devicePath = parser.value(device).toStdString();
    result.options.autostart = parser.isSet(autostart);
    result.options.screenshot = parser.value(screenshot);
    result.options.aboutScreenshot = parser.value(aboutScreenshot);
    result.options.quitAfterStart = parser.isSet(quitAfterStart);
    result.options.logScreenshot = parser.value(logScreenshot);
    result.options.transferScreenshot = parser.value(transferScreenshot);
    result.options.firmwarePath = parser.value(firmware).toStdString();
    return result;
}

int CTirvel2App::Run() {
    // The environment's language already for the command line's own texts.
    fw::SetLanguage(fw::LanguageFromEnvironment());
    const ParseResult parsed = ParseCommandLine(QCoreApplication::arguments());
    if (parsed.exitStatus) {
        if (*parsed.exitStatus == 0) {
            QTextStream(stdout) << parsed.message << Qt::endl;
        } else {
            PrintError(parsed.message);
        }
        return *parsed.exitStatus;
    }
    if (!InitInstance(parsed.options)) {
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
    recentFiles_ = std::make_unique<CRecentFileList>();
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
    if (options.autostart || !options.screenshot.isEmpty()) {
        QTimer::singleShot(0, frame, [frame] { frame->OnCommand(res::ID_START_CONFIG); });
    }
    if (!options.screenshot.isEmpty()) {
        // Polled rather than hooked: the frame hears every state, and the
        // picture is wanted once the values are on the form.
        auto* poll = new QTimer(frame);
        auto waited = std::make_shared<int>(0);
        const QString file = options.screenshot;
        QObject::connect(poll, &QTimer::timeout, frame, [frame, poll, waited, file] {
            *waited += kScreenshotPollMs;
            const bool connected = frame->ConnectionState() == kStateConnected;
            if (!connected && *waited < kScreenshotTimeoutMs) {
                return;
            }
            poll->stop();
            int status = 1;
            if (connected && frame->grab().save(file)) {
                status = 0;
            } else if (!connected) {
                PrintError(QStringLiteral("tirvel: no device connected; no screenshot taken"));
            }
            frame->close();
            QCoreApplication::exit(status);
        });
        poll->start(kScreenshotPollMs);
    }
    if (!options.aboutScreenshot.isEmpty()) {
        const QString file = options.aboutScreenshot;
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
    if (!options.logScreenshot.isEmpty()) {
        ArrangeLogScreenshot(options.logScreenshot);
    }
    if (!options.transferScreenshot.isEmpty()) {
        ArrangeTransferScreenshot(options.transferScreenshot);
    }
}

void CTirvel2App::ArrangeLogScreenshot(const QString& file) {
    CMainFrameWindow* frame = frame_.get();
    QTimer::singleShot(0, frame, [frame] { frame->OnCommand(res::ID_SHOW_DEBUG_INFO); });
    auto* poll = new QTimer(frame);
    auto waited = std::make_shared<int>(0);
    auto quiet = std::make_shared<int>(0);
    auto last = std::make_shared<std::string>();
    QObject::connect(poll, &QTimer::timeout, frame, [=] {
        *waited += kScreenshotPollMs;
        const std::string text = frame->FormView()->GetControlText(res::IDC_LOG_PANE);
        *quiet = text == *last ? *quiet + kScreenshotPollMs : 0;
        *last = text;
        const bool still = !text.empty() && *quiet >= kLogQuietMs;
        if (!still && *waited < kScreenshotTimeoutMs) {
            return;
        }
        poll->stop();
        int status = 1;
        if (still && frame->grab().save(file)) {
            status = 0;
        } else if (!still) {
            PrintError(QStringLiteral("tirvel: the device printed nothing; no screenshot taken"));
        }
        frame->close();
        QCoreApplication::exit(status);
    });
    poll->start(kScreenshotPollMs);
}

void CTirvel2App::ArrangeTransferScreenshot(const QString& file) {
    CMainFrameWindow* frame = frame_.get();
    auto status = std::make_shared<int>(1);
    // The poll runs inside the dialog's own loop; Update File returns at once
    // and the dialog opens later from the view's timer.
    auto* poll = new QTimer(frame);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, frame, [=] {
        *waited += kScreenshotPollMs;
        QWidget* modal = QApplication::activeModalWidget();
        auto* bar = modal != nullptr ? modal->findChild<QProgressBar*>() : nullptr;
        const bool midway = bar != nullptr && bar->value() >= kTransferShownAt;
        if (!midway && *waited < kScreenshotTimeoutMs) {
            return;
        }
        poll->stop();
        if (midway) {
            *status = modal->grab().save(file) ? 0 : 1;
            modal->close();  // Cancel: the rest of the image is not wanted
        } else {
            PrintError(QStringLiteral("tirvel: no transfer under way; no screenshot taken"));
        }
        QTimer::singleShot(0, frame, [frame, status] {
            frame->close();
            QCoreApplication::exit(*status);
        });
    });
    poll->start(kScreenshotPollMs);
    QTimer::singleShot(0, frame, [frame] { frame->OnCommand(res::ID_UPDATE_FIRMWARE); });
}

}  // namespace app
