#include "app/RecentFileList.h"

#include <QFileInfo>
#include <QSettings>

#include "cfgfile/OutputFile.h"

namespace app {
namespace {

const QString kSection = QStringLiteral("Recent File List");

QString Key(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

// Two spellings of one file count as one entry.
bool SameFile(const QString& a, const QString& b) {
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

}  // namespace

CRecentFileList::CRecentFileList(int size) : size_(size) {
    ReadList();
}

void CRecentFileList::Add(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    files_.removeIf([&](const QString& f) { return SameFile(f, full); });
    files_.prepend(full);
    while (files_.size() > size_) {
        files_.removeLast();
    }
    WriteList();
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < files_.size()) {
        files_.removeAt(index);
        WriteList();
    }
}

void CRecentFileList::ReadList() {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    settings.beginGroup(kSection);
    files_.clear();
    for (int i = 0; i < size_; ++i) {
        const QString file = settings.value(Key(i)).toString();
        if (!file.isEmpty()) {
            files_.append(file);
        }
    }
}

void CRecentFileList::WriteList() const {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    // Qt saves settings as a new file renamed over the old one, through any
    // symbolic link: settings linked to /dev/null to keep nothing would turn
    // the device into a plain file. Such a list lasts for this run only.
    if (cfgfile::ClassifyOutput(settings.fileName().toStdString()) != cfgfile::OutputKind::kFile) {
        return;
    }
    settings.beginGroup(kSection);
    for (int i = 0; i < size_; ++i) {
        if (i < files_.size()) {
            settings.setValue(Key(i), files_[i]);
        } else {
            settings.remove(Key(i));
        }
    }
}

}  // namespace app
