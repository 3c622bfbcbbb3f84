// The station window's last job in the settings file Qt keeps for Tirvel,
// in a section of its own beside the recent-file list.
#pragma once

#include "app/core/StationJobStore.h"

namespace app {

class CSettingsStationJobStore : public IStationJobStore {
public:
    CStationView::JobForm Load() override;
    // Not where the settings are a device or anything else but a file.
    void Save(const CStationView::JobForm& form) override;
};

}  // namespace app
