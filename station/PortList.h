// The ports of a station: COM numbers given as a list ("3", "1-4",
// "1,3,7-9") or device paths given one by one, each reached at most once.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace station {

// More stations than this would only share the machine's cores, not speed
// the line up; a typing slip ("1-200") would start two hundred workers.
inline constexpr int kMaxStations = 32;

struct StationPort {
    int comPort = 0;         // 1-255, or 0 when devicePath names the port
    std::string devicePath;  // as given
    // What the board and the report call it: "COM3" or the path.
    std::string Label() const;
};

struct PortListError {
    enum Kind { BadList, Repeated, TooMany } kind;
    std::string detail;  // the list as given, or the port named twice
};

using PortListResult = std::variant<std::vector<StationPort>, PortListError>;

// Numbers in plain decimal from 1 to 255, ranges low-high, in the order given.
PortListResult ParsePortList(const std::string& text);
// Paths as given; a path given twice would have two stations fight over one line.
PortListResult DevicePorts(const std::vector<std::string>& paths);

// The ports as the station window takes them typed: COM numbers ("1-4,7"),
// or device paths separated by commas where every entry is a path.
PortListResult ParseTypedPorts(const std::string& text);
// The entries of such a text between its commas, and whether all are paths.
std::vector<std::string> TypedEntries(const std::string& text, bool* allPaths);

}  // namespace station
