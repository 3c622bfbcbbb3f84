#include "station/PortList.h"

#include <algorithm>
#include <optional>
#include <set>

#include "serial/PortPath.h"

namespace station {
namespace {

// Leading zeros are read as decimal: the option parser would have taken
// "010" as octal and configured the device on another port than named.
std::optional<int> ComNumber(const std::string& text) {
    const std::size_t digits = text.find_first_not_of('0');
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        digits == std::string::npos || text.size() - digits > 3) {
        return std::nullopt;
    }
    const int number = std::stoi(text);
    if (number < 1 || number > serial::kMaxComNumber) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::string StationPort::Label() const {
    return comPort > 0 ? "COM" + std::to_string(comPort) : devicePath;
}

PortListResult ParsePortList(const std::string& text) {
    std::vector<StationPort> ports;
    std::set<int> seen;
    for (const std::string& item : TypedEntries(text, nullptr)) {
        const std::size_t dash = item.find('-');
        const auto low = ComNumber(item.substr(0, dash));
        const auto high = dash == std::string::npos ? low : ComNumber(item.substr(dash + 1));
        if (!low || !high || *high < *low) {
            return PortListError{PortListError::BadList, text};
        }
        for (int n = *low; n <= *high; ++n) {
            if (!seen.insert(n).second) {
                return PortListError{PortListError::Repeated, "COM" + std::to_string(n)};
            }
            ports.push_back(StationPort{n, {}});
        }
        if (ports.size() > static_cast<std::size_t>(kMaxStations)) {
            return PortListError{PortListError::TooMany, text};
        }
    }
    return ports;
}

std::vector<std::string> TypedEntries(const std::string& text, bool* allPaths) {
    std::vector<std::string> entries;
    std::size_t from = 0;
    bool paths = true;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        std::string entry = text.substr(from, comma - from);
        paths = paths && !entry.empty() && entry.front() == '/';
        entries.push_back(std::move(entry));
        from = comma + 1;
    }
    if (allPaths != nullptr) {
        *allPaths = paths;
    }
    return entries;
}

PortListResult ParseTypedPorts(const std::string& text) {
    bool paths = false;
    std::vector<std::string> entries = TypedEntries(text, &paths);
    return paths ? DevicePorts(entries) : ParsePortList(text);
}

PortListResult DevicePorts(const std::vector<std::string>& paths) {
    if (paths.size() > static_cast<std::size_t>(kMaxStations)) {
        return PortListError{PortListError::TooMany, {}};
    }
    std::vector<StationPort> ports;
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        if (!seen.insert(path).second) {
            return PortListError{PortListError::Repeated, path};
        }
        ports.push_back(StationPort{0, path});
    }
    return ports;
}

}  // namespace station
