// What one device of a batch or an apply is to hold of its own: the
// profile's values with their patterns expanded from the device's identity,
// and its row of the values table laid over them. Worked out once the device
// is connected and before anything is written to it; the read-back judges
// these values like every other.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "form/Tirvel2View.h"

namespace cli {

struct DeviceWanted {
    std::vector<WantedItem> items;     // the profile's order, then the table's columns
    std::vector<std::string> sources;  // one per item, as the record keeps it
    std::vector<bool> own;             // the item's value is this device's alone
};

// Null, having said why, when the device cannot be given its values: the
// table has no row for it, the table and the pool's row both name an item,
// or a value comes out as one it cannot take. drawn: the pool's row the
// device got, if the batch has a pool.
std::optional<DeviceWanted> WantedFor(CTirvel2View& view, Console& console,
                                      const BatchProfile& profile,
                                      const job::DrawnRow* drawn = nullptr);

// Where the device's own values come from, as a tile shows it: the table's
// line and the pool's row, joined by ", "; empty when it has none.
std::string OwnSources(const DeviceWanted& wanted);

// Each row of the device's own values gets its value, ticked where the
// device holds another; the profile's rows keep what Import left.
void SetOwnValues(CTirvel2View& view, const DeviceWanted& wanted);

}  // namespace cli
