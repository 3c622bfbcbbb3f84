// The most recently used files, newest first, kept between runs in the
// registry where the desktop framework's generated applications keep them:
// under HKEY_CURRENT_USER, the key "Recent File List" of the application's key
// (kRegistryKey), values File1 ... FileN.
#pragma once

#include <string>
#include <vector>

namespace app::win32 {

inline constexpr wchar_t kRegistryKey[] =
    L"Software\\Local AppWizard-Generated Applications\\Tirvel";
inline constexpr wchar_t kRecentFileSection[] = L"Recent File List";

class CRecentFileList {
public:
    // key: the application's key under HKEY_CURRENT_USER.
    explicit CRecentFileList(int size = 4, std::wstring key = kRegistryKey);

    // Moves the file to the front (an entry that names the same file, or the
    // oldest beyond the list's size, goes) and saves the list.
    void Add(const std::wstring& path);
    void Remove(int index);
    const std::vector<std::wstring>& Files() const { return files_; }
    int Size() const { return size_; }
    const std::wstring& Key() const { return key_; }

    void ReadList();
    void WriteList() const;

private:
    int size_;
    std::wstring key_;
    std::vector<std::wstring> files_;
};

}  // namespace app::win32
