// tirvel-station on Qt: the station window, its form filled from the last job
// and the command line.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "app/core/StationCommandLine.h"
#include "app/qt/QtCommandLine.h"
#include "app/qt/SettingsStationJobStore.h"
#include "app/qt/StationWindow.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "framework/qt/QtDialogHost.h"
#include "res/StationIds.h"

namespace {

// Some port has its verdict while another still works: the picture shows
// tiles in several states.
bool TilesDiffer(const station::StationSnapshot& shown) {
    bool verdict = false;
    bool working = false;
    for (const station::PortState& port : shown.ports) {
        verdict = verdict || !port.lastVerdict.empty();
        working = working || (port.phase == station::PortPhase::Working && port.permille > 0);
    }
    return verdict && working;
}

void PictureWhenTilesDiffer(app::CStationWindow& window, const QString& file) {
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, file] {
        CStationView& view = window.View();
        const bool ended = view.LastResult().has_value() && !view.Running();
        if (!TilesDiffer(view.Shown()) && !ended) {
            return;
        }
        poll->stop();
        if (!window.grab().save(file)) {
            std::fputs("tirvel-station: the picture could not be saved\n", stderr);
        }
        // The window closes once the aborted job has ended.
        view.OnAbort();
        auto* closing = new QTimer(&window);
        QObject::connect(closing, &QTimer::timeout, &window, [&window, closing] {
            if (!window.View().Running()) {
                closing->stop();
                window.close();
            }
        });
        closing->start(50);
    });
    poll->start(50);
}

}  // namespace

int main(int argc, char** argv) {
    fw::SetLanguage(fw::LanguageFromEnvironment());
    const app::StationParseResult parsed =
        app::ParseStationCommandLine(app::qt::OwnArguments(argc, argv), true);
    if (parsed.options.language) {
        fw::SetLanguage(*parsed.options.language);
    }
    if (parsed.exitStatus) {
        app::qt::PrintAnswer(parsed.message, *parsed.exitStatus);
        // Started from a launcher, nobody reads standard error: a wrong line
        // is said in a box as well, where there is a screen to show it on.
        if (*parsed.exitStatus != 0 && app::qt::WindowSystemNamed(argc, argv)) {
            QApplication application(argc, argv);
            QMessageBox::warning(nullptr,
                                 QString::fromStdString(fw::LoadString(res::IDS_STATION_CAPTION)),
                                 QString::fromStdString(parsed.message));
        }
        return *parsed.exitStatus;
    }
    QApplication application(argc, argv);
    const fw::Language language = fw::CurrentLanguage();
    fw::qt::InstallQtTranslations(application, language);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));

    fw::qt::CQtDialogHost dialogHost;
    fw::SetDialogHost(&dialogHost);
    app::CSettingsStationJobStore store;
    app::CStationWindow window(store, language);
    dialogHost.SetMainWindow(&window);
    window.View().SetJobForm(app::MergeStationForm(store.Load(), parsed.options));
    window.show();
    if (parsed.options.start) {
        QTimer::singleShot(0, &window, [&window] { window.View().OnStart(); });
    }
    if (!parsed.options.screenshot.empty()) {
        PictureWhenTilesDiffer(window, QString::fromStdString(parsed.options.screenshot));
    }
    const int status = QApplication::exec();
    fw::SetDialogHost(nullptr);
    return status;
}
