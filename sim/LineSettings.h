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

// The boot loader and the application's debug console run at this rate.
constexpr LineSettings kConsoleLine{115200, 8, 'N', 1};
// The application's AT command interpreter.
constexpr LineSettings kCommandLine{28800, 8, 'N', 1};

// The device's UART setting depends on what the firmware is doing.
enum class DeviceMode {
    kApplication,
    kBootLoader,
};

constexpr LineSettings ExpectedLine(DeviceMode mode) {
    return mode == DeviceMode::kBootLoader ? kConsoleLine : kCommandLine;
}

}  // namespace kavrelsim
