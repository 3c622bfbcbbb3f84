// A batch's value pool as its devices draw from it, one device at a time:
// each device is tied to a row once its IMEI is sure and before anything is
// written, and the row's fate follows what the device bears out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/Messages.h"
#include "job/ValuesTable.h"
#include "records/PoolStore.h"

namespace job {

// The row a device got, with the items its cells fill.
struct DrawnRow {
    std::vector<ValuesColumn> columns;  // the pool's, in its order
    std::vector<std::string> cells;     // one per column, bytes
    std::string source;                 // "pool NAME row N", as the record keeps it
};

class DevicePool {
public:
    // station: the name the device's record gives its station, the one the
    // row is tied under.
    DevicePool(records::PoolStore& store, std::string name, std::string station);

    const std::string& Name() const { return name_; }
    // The row the last Draw gave, by its place in the pool; 0 for none.
    std::int64_t RowDrawn() const { return drawn_ ? drawn_->id : 0; }

    // The device's row: the one tied to its IMEI already, else the next free
    // one. Null, having said why, when the pool has none for it or cannot be
    // reached; nothing is then written to the device.
    std::optional<DrawnRow> Draw(const std::string& imei, Messages& said);
    // Nothing of the device's values was sent to it: a row tied to it by
    // this draw goes back to the pool. A row it held before stays its own,
    // since an earlier try may have left it on the device.
    void NothingSent();
    // The read-back holds: the row is the device's for good. False, having
    // said nothing, when the store could not be told; the row then stays
    // tied to the device, never another's.
    bool Written();

private:
    records::PoolStore& store_;
    std::string name_;
    std::string station_;
    std::optional<records::PoolRow> drawn_;
};

}  // namespace job
