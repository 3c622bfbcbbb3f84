// Where the station window keeps the last job for its next start: each shell
// in its own storage (Qt's settings file, the Win32 registry). The job, the
// file, the ports, the count and the report's folder are the window's only
// settings; the password never is one.
#pragma once

#include "station/view/StationView.h"

namespace app {

class IStationJobStore {
public:
    virtual ~IStationJobStore() = default;
    virtual CStationView::JobForm Load() = 0;
    virtual void Save(const CStationView::JobForm& form) = 0;
};

}  // namespace app
