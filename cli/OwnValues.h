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
// table has no row for it, or a value comes out as one it cannot take.
std::optional<DeviceWanted> WantedFor(CTirvel2View& view, Console& console,
                                      const BatchProfile& profile);

// Each row of the device's own values gets its value, ticked where the
// device holds another; the profile's rows keep what Import left.
void SetOwnValues(CTirvel2View& view, const DeviceWanted& wanted);

}  // namespace cli
