// How the tool set up its side of the line when bytes reached the device. The
// device's UART only makes sense of bytes sent with the settings it expects.
#pragma once

#include <cstdint>

namespace kavrelsim {

struct LineSettings {
    std::uint32_t baud = 0;
    int dataBits = 8;
    char parity = 'N';  // N, O, E, M, S
    int stopBits = 1;

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// The device's UART setting depends on what the firmware is doing. Today only
// the application runs (AT commands, configuration); a boot loader and a debug
// console at 115200 are expected to join this list.
enum class DeviceMode {
    kApplication,
};

constexpr LineSettings ExpectedLine(DeviceMode mode) {
    switch (mode) {
        case DeviceMode::kApplication:
            return LineSettings{28800, 8, 'N', 1};
    }
    return LineSettings{};
}

}  // namespace kavrelsim
