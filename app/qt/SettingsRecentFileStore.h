// The recent files in the settings file Qt keeps for the application, under
// the names the desktop framework's generated applications use.
#pragma once

#include "app/core/RecentFileStore.h"

namespace app {

inline constexpr char kSettingsOrganisation[] = "Local AppWizard-Generated Applications";
inline constexpr char kSettingsApplication[] = "Tirvel";

class CSettingsRecentFileStore : public IRecentFileStore {
public:
    std::vector<std::string> Load(int count) override;
    // Not where the settings are a device or anything else but a file.
    void Save(const std::vector<std::optional<std::string>>& entries) override;
    std::string FullPath(const std::string& path) const override;
    bool SameFile(const std::string& a, const std::string& b) const override;
};

}  // namespace app
