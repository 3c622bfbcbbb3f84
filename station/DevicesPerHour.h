// The station's pace for the totals line, the same on the window and on
// tirvelctl's board, and on the line's dashboard.
#pragma once

#include <optional>
#include <string>

namespace station {

// Devices ended (OK or failed) per hour of the job's running time, as shown:
// whole devices, with a tenth where the pace is under ten an hour. None until
// a device has ended, or when no time has passed: a pace of nothing is no pace.
std::optional<double> DevicesPerHourShown(int devices, double seconds);

// The same as text; "-" for none.
std::string DevicesPerHour(int devices, double seconds);

}  // namespace station
