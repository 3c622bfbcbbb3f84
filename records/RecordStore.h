// Where records are kept: the station's own database file, or a line's
// shared server. Every call either does all it says or throws StoreError.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/DeviceRecord.h"

namespace records {

class StoreError : public std::runtime_error {
public:
    enum class Kind {
        Open,     // the file or server cannot be reached or opened
        Full,     // no room left on the disk
        Corrupt,  // the file is not a records database, or is damaged
        Newer,    // written by a later version of the schema than this one knows
        Other,
    };
    StoreError(Kind kind, const std::string& detail) : std::runtime_error(detail), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class RecordStore {
public:
    virtual ~RecordStore() = default;
    // Committed when it returns. A record whose id is already there is left
    // as it is: adding twice is adding once.
    virtual void Add(const DeviceRecord& record) = 0;
    // Newest first (by started_at), without items, each handed to visit as
    // it is read: a listing of any length holds one record at a time. What
    // visit throws ends the listing and comes out of the call.
    virtual void ForEach(const RecordQuery& query,
                         const std::function<void(const DeviceRecord&)>& visit) = 0;
    // The same, gathered: for the short lists (a device's last record).
    std::vector<DeviceRecord> Find(const RecordQuery& query) {
        std::vector<DeviceRecord> found;
        ForEach(query, [&found](const DeviceRecord& record) { found.push_back(record); });
        return found;
    }
    // One record with its items, in item order.
    virtual std::optional<DeviceRecord> Get(const std::string& id) = 0;
};

}  // namespace records
