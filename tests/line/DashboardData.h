// What the dashboard's tests and screenshots put on the line's server: a
// station's state as a station writes it, records at times relative to now
// (the page shows today and the last 24 hours).
#pragma once

#include <ctime>
#include <string>

#include "records/LineState.h"

namespace linetest {

// That many seconds ago, in the records' form.
inline std::string SecondsAgo(int seconds) {
    const std::time_t at = std::time(nullptr) - seconds;
    std::tm utc{};
    ::gmtime_r(&at, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", &utc);
    return text;
}

// A station configuring devices, every port working on one at a quarter.
inline records::LineStation WorkingStation(const std::string& name, int ports) {
    records::LineStation station;
    station.station = name;
    station.job = "batch";
    station.fileName = "apn-internet.txt";
    station.fileSha256 = std::string(64, 'c');
    station.done = 42;
    station.failed = 3;
    station.count = 500;
    station.devicesPerHour = 96.5;
    station.phase = "running";
    station.portCount = ports;
    for (int i = 0; i < ports; ++i) {
        records::LinePort port;
        port.label = "/dev/ttyUSB" + std::to_string(i);
        port.phase = "working";
        port.stateText = "writing";
        port.imeiText = "8601234567800" + std::to_string(10 + i);
        port.permille = 250;
        station.ports.push_back(port);
    }
    return station;
}

}  // namespace linetest
