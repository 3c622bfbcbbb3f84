#include "station/DevicesPerHour.h"

#include <cmath>

namespace station {

std::string DevicesPerHour(int devices, double seconds) {
    if (devices <= 0 || !(seconds > 0.0)) {
        return "-";
    }
    // Counted in tenths and written by hand: the desktop takes the C locale
    // from the environment, where printf would write "3,5" in some.
    const double tenths = std::round(devices * 36'000.0 / seconds);
    if (!(tenths < 1e15)) {
        return "-";  // no line works that fast: the clock has not really started
    }
    if (tenths < 100.0) {
        const long long whole = std::llround(tenths);
        return std::to_string(whole / 10) + "." + std::to_string(whole % 10);
    }
    return std::to_string(std::llround(devices * 3'600.0 / seconds));
}

}  // namespace station
