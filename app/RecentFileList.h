// The most recently used files, newest first, kept between runs in the
// settings the desktop framework's generated applications use ("Recent File
// List", File1 ... FileN).
#pragma once

#include <QString>
#include <QStringList>

namespace app {

inline constexpr char kSettingsOrganisation[] = "Local AppWizard-Generated Applications";
inline constexpr char kSettingsApplication[] = "Tirvel";

class CRecentFileList {
public:
    explicit CRecentFileList(int size = 4);

    // Moves the file to the front (an entry that names the same file, or the
    // oldest beyond the list's size, goes) and saves the list.
    void Add(const QString& path);
    void Remove(int index);
    const QStringList& Files() const { return files_; }
    int Size() const { return size_; }

    void ReadList();
    // Not where the settings are a device or anything else but a file.
    void WriteList() const;

private:
    int size_;
    QStringList files_;
};

}  // namespace app
