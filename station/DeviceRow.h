// One device as a station's report keeps it: what was worked on, where, and
// how it ended.
#pragma once

#include <cstdint>
#include <string>

namespace station {

struct DeviceRow {
    std::string port;  // "COM3" or the device path
    std::string time;  // local, when the device was done
    std::string imei;  // shown text; empty where nothing gave one (a boot loader)
    std::string version;
    bool ok = false;
    int written = 0;         // items, for a batch
    std::int64_t bytes = 0;  // acknowledged, for a transfer
    std::string message;     // the last outcome or failure said for the device
};

// Now in local time, as the report writes it, or by another strftime format.
std::string LocalTime(const char* format = "%Y-%m-%d %H:%M:%S");

}  // namespace station
