// What a station's worker process tells its supervisor: one JSON object per
// line on the worker's stdout. The supervisor answers a claim with one line
// on the worker's stdin, "go" or "stop"; before anything else the worker reads
// the devices' password from there, hex-encoded, so that it never shows in a
// process list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "station/DeviceProgress.h"
#include "station/DeviceRow.h"

namespace station {

// Every member has its initializer: an event names only what it carries.
struct StationEvent {
    enum class Kind { Step, Identity, Claim, Transfer, Message, End, Values };
    Kind kind = Kind::Message;
    DeviceStep step = DeviceStep::Waiting;
    int detail = 0;
    std::string imei{};  // Identity
    std::string version{};
    std::int64_t done = 0;  // Transfer
    std::int64_t total = 0;
    std::string text{};                           // Message
    std::string source{};                         // Values: where the device's own came from
    DeviceOutcome outcome = DeviceOutcome::Done;  // End
    std::optional<DeviceRow> row{};               // End, when a device was worked on
};

std::string EncodeEvent(const StationEvent& event);
// Nothing for a line that is not an event: what a dying worker printed.
std::optional<StationEvent> DecodeEvent(const std::string& line);

inline constexpr const char* kClaimGranted = "go";
inline constexpr const char* kClaimRefused = "stop";
// The supervisor to a worker at any moment: cancel the device safely. The end
// of the worker's input (its supervisor gone) means the same.
inline constexpr const char* kCancelLine = "cancel";
// On a worker's command line: its port has given the station a device
// before, so a try that fails is a device that failed, not a port of no use.
inline constexpr const char* kPortProvenOption = "--station-port-proven";
// A batch worker's: the operator's name for the values table it is given a copy of.
inline constexpr const char* kValuesNameOption = "--station-values-name";
// A worker's: how many ports its station has (for the pool rows it keeps).
inline constexpr const char* kStationPortsOption = "--station-ports";

// The password line: "-" for none, else its bytes in hex.
std::string EncodePasswordLine(const std::optional<std::string>& password);
std::optional<std::string> DecodePasswordLine(const std::string& line);

}  // namespace station
