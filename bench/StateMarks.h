// A station's change told apart at the browser: the state of its first port
// carries the change's number, so that a reader of the event stream knows
// which change each event brings and how long ago the station made it.
#pragma once

#include <optional>
#include <string>

namespace bench {

// The state words of port 0 in change number `sequence`.
std::string MarkedState(long sequence);

struct StateMark {
    std::string station;
    long sequence = 0;
};

// From an event's data (a station as /api/v1/stations gives it): whose and
// which change it is; nothing for a station whose state bears no mark.
std::optional<StateMark> MarkOf(const std::string& data);

}  // namespace bench
