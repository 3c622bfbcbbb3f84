#include "app/qt/SettingsStationJobStore.h"

#include <QSettings>
#include <QString>

#include "app/qt/SettingsRecentFileStore.h"
#include "cfgfile/OutputFile.h"

namespace app {
namespace {

const QString kSection = QStringLiteral("Station");

std::string Value(const QSettings& settings, const char* key) {
    return settings.value(QString::fromLatin1(key)).toString().toStdString();
}

}  // namespace

CStationView::JobForm CSettingsStationJobStore::Load() {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    settings.beginGroup(kSection);
    CStationView::JobForm form;
    form.job = Value(settings, "Job") == "update" ? CStationView::Job::Update
                                                  : CStationView::Job::Configure;
    form.file = Value(settings, "File");
    form.ports = Value(settings, "Ports");
    form.count = Value(settings, "Count");
    form.reportFolder = Value(settings, "ReportFolder");
    form.records = Value(settings, "Records");
    form.values = Value(settings, "Values");
    form.pool = Value(settings, "Pool");
    return form;
}

void CSettingsStationJobStore::Save(const CStationView::JobForm& form) {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    // Qt replaces the file through any link: settings linked to /dev/null stay so.
    if (cfgfile::ClassifyOutput(settings.fileName().toStdString()) != cfgfile::OutputKind::kFile) {
        return;
    }
    settings.beginGroup(kSection);
    settings.setValue(QStringLiteral("Job"), form.job == CStationView::Job::Update
                                                 ? QStringLiteral("update")
                                                 : QStringLiteral("configure"));
    settings.setValue(QStringLiteral("File"), QString::fromStdString(form.file));
    settings.setValue(QStringLiteral("Ports"), QString::fromStdString(form.ports));
    settings.setValue(QStringLiteral("Count"), QString::fromStdString(form.count));
    settings.setValue(QStringLiteral("ReportFolder"), QString::fromStdString(form.reportFolder));
    settings.setValue(QStringLiteral("Records"), QString::fromStdString(form.records));
    settings.setValue(QStringLiteral("Values"), QString::fromStdString(form.values));
    settings.setValue(QStringLiteral("Pool"), QString::fromStdString(form.pool));
}

}  // namespace app
