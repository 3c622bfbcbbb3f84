// The station's pace for the totals line, the same on the window and on
// tirvelctl's board.
#pragma once

#include <string>

namespace station {

// Devices ended (OK or failed) per hour of the job's running time, as text:
// whole devices, with a tenth where the pace is under ten an hour. "-" until a
// device has ended, or when no time has passed: a pace of nothing is no pace.
std::string DevicesPerHour(int devices, double seconds);

}  // namespace station
