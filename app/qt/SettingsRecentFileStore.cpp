#include "app/qt/SettingsRecentFileStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QString>

#include "cfgfile/OutputFile.h"

namespace app {
namespace {

const QString kSection = QStringLiteral("Recent File List");

QString Key(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

QString AbsolutePath(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath();
}

}  // namespace

std::vector<std::string> CSettingsRecentFileStore::Load(int count) {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    settings.beginGroup(kSection);
    std::vector<std::string> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(settings.value(Key(i)).toString().toStdString());
    }
    return values;
}

void CSettingsRecentFileStore::Save(const std::vector<std::optional<std::string>>& entries) {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    // Qt saves settings as a new file renamed over the old one, through any
    // symbolic link: settings linked to /dev/null to keep nothing would turn
    // the device into a plain file. Such a list lasts for this run only.
    if (cfgfile::ClassifyOutput(settings.fileName().toStdString()) != cfgfile::OutputKind::kFile) {
        return;
    }
    settings.beginGroup(kSection);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QString key = Key(static_cast<int>(i));
        if (entries[i]) {
            settings.setValue(key, QString::fromStdString(*entries[i]));
        } else {
            settings.remove(key);
        }
    }
}

std::string CSettingsRecentFileStore::FullPath(const std::string& path) const {
    return AbsolutePath(path).toStdString();
}

// Two spellings of one file count as one entry.
bool CSettingsRecentFileStore::SameFile(const std::string& a, const std::string& b) const {
    return AbsolutePath(a) == AbsolutePath(b);
}

}  // namespace app
