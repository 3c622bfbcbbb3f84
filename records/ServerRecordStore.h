// The line's shared server as the stations see it: a store that also takes a
// whole batch at once, reached through whichever client library the system
// has (libpq on Linux, ODBC on Windows).
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "records/RecordStore.h"
#include "records/StopSignal.h"

namespace records {

class ServerRecordStore : public RecordStore {
public:
    void Add(const DeviceRecord& record) override { AddAll({record}); }
    // All in one transaction; records the server has (or that come twice)
    // are left as they are. A failed call has added none of them.
    virtual void AddAll(const std::vector<DeviceRecord>& records) = 0;
};

// Connects to the server the URI ("postgresql://…") names and brings its
// schema up to date. Throws StoreError (Kind::Open when it cannot be reached
// in time). Once stop (may be null) is raised, every wait on the server ends
// with Kind::Open: how a pusher being stopped leaves a server that hangs.
std::unique_ptr<ServerRecordStore> OpenServerStore(const std::string& uri,
                                                   std::chrono::milliseconds connectTimeout,
                                                   StopSignal* stop = nullptr);

}  // namespace records
