// The line's server behind the station's file: the background sending of
// what is queued, a push on demand, and lookups on the server.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "records/PoolStore.h"
#include "records/RecordStore.h"
#include "records/RecordsSetting.h"

namespace records {
class BackgroundPusher;
}

namespace job {

// Sends the station file's queue to the server the setting names, in the
// background, for as long as the object lives; does nothing for a setting
// without a server.
class RecordsForwarding {
public:
    explicit RecordsForwarding(const records::RecordsSetting& where);
    ~RecordsForwarding();
    RecordsForwarding(const RecordsForwarding&) = delete;
    RecordsForwarding& operator=(const RecordsForwarding&) = delete;

    // A record was kept: send it soon.
    void Wake();
    // At the end of a run: waits up to limit for what was kept last to reach
    // a server that has been answering; never for one that has not.
    void Finish(std::chrono::milliseconds limit);

private:
    std::unique_ptr<records::BackgroundPusher> pusher_;
};

// A lookup or a push on demand has the operator waiting: long enough for a
// server across a busy network, short enough to say it is not there.
inline constexpr std::chrono::seconds kServerTimeout{10};

// The store a lookup reads: the server where records go there, else the
// station's file. Throws StoreError.
std::unique_ptr<records::RecordStore> OpenLookupStore(const records::RecordsSetting& where);

// The value pools the setting names, for an import or a lookup: the line's
// server, else the station's file. Throws StoreError.
std::unique_ptr<records::PoolStore> OpenPoolLookupStore(const records::RecordsSetting& where);

// The pools a batch's devices draw from, on a station of that many ports:
// the line's server, with a block of rows kept in the station's file to draw
// from while the server cannot be reached (LinePoolStore), where records go
// to a server; else the station's file alone. Asks nothing of the server
// yet. Throws StoreError for the file.
std::unique_ptr<records::PoolStore> OpenPoolDrawStore(const records::RecordsSetting& where,
                                                      const std::string& station, int ports);

}  // namespace job
