// The recent files in the registry, where the desktop framework's generated
// applications keep them: under HKEY_CURRENT_USER, the key "Recent File List"
// of the application's key (kRegistryKey), values File1 ... FileN.
#pragma once

#include <string>

#include "app/core/RecentFileStore.h"

namespace app::win32 {

inline constexpr wchar_t kRegistryKey[] =
    L"Software\\Local AppWizard-Generated Applications\\Tirvel";
inline constexpr wchar_t kRecentFileSection[] = L"Recent File List";

class CRegistryRecentFileStore : public IRecentFileStore {
public:
    // key: the application's key under HKEY_CURRENT_USER.
    explicit CRegistryRecentFileStore(std::wstring key = kRegistryKey) : key_(std::move(key)) {}

    const std::wstring& Key() const { return key_; }

    std::vector<std::string> Load(int count) override;
    void Save(const std::vector<std::optional<std::string>>& entries) override;
    std::string FullPath(const std::string& path) const override;
    bool SameFile(const std::string& a, const std::string& b) const override;

private:
    std::wstring key_;
};

}  // namespace app::win32
