#include "station/DevicesPerHour.h"

#include <cmath>

namespace station {

std::optional<double> DevicesPerHourShown(int devices, double seconds) {
    if (devices <= 0 || !(seconds > 0.0)) {
        return std::nullopt;
    }
    const double tenths = std::round(devices * 36'000.0 / seconds);
    if (!(tenths < 1e15)) {
        return std::nullopt;  // no line works that fast: the clock has not really started
    }
    if (tenths < 100.0) {
        return tenths / 10.0;
    }
    return std::round(devices * 3'600.0 / seconds);
}

std::string DevicesPerHour(int devices, double seconds) {
    const std::optional<double> pace = DevicesPerHourShown(devices, seconds);
    if (!pace) {
        return "-";
    }
    // Written by hand: the desktop takes the C locale from the environment,
    // where printf would write "3,5" in some.
    if (*pace < 10.0) {
        const long long tenths = std::llround(*pace * 10.0);
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    }
    return std::to_string(std::llround(*pace));
}

}  // namespace station
