// The station window's last job in the registry, beside the recent-file list:
// the key "Station" of the application's key under HKEY_CURRENT_USER, values
// Job, File, Ports, Count and ReportFolder.
#pragma once

#include <string>

#include "app/core/StationJobStore.h"
#include "app/win32/RegistryRecentFileStore.h"

namespace app::win32 {

inline constexpr wchar_t kStationSection[] = L"Station";

class CRegistryStationJobStore : public IStationJobStore {
public:
    explicit CRegistryStationJobStore(std::wstring key = kRegistryKey) : key_(std::move(key)) {}

    CStationView::JobForm Load() override;
    void Save(const CStationView::JobForm& form) override;

private:
    std::wstring key_;
};

}  // namespace app::win32
