#include "station/PortPick.h"

#include <algorithm>
#include <variant>
#include <vector>

#include "station/PortList.h"

namespace station {
namespace {

bool NamesComNumber(const std::string& typed, int number) {
    const PortListResult parsed = ParsePortList(typed);
    const auto* ports = std::get_if<std::vector<StationPort>>(&parsed);
    return ports != nullptr &&
           std::any_of(ports->begin(), ports->end(),
                       [number](const StationPort& port) { return port.comPort == number; });
}

}  // namespace

std::string AddPickedPort(const std::string& typed, const serial::PresentPort& port) {
    // A comma left at the end is where the next port goes, not an entry.
    const bool openEnd = !typed.empty() && typed.back() == ',';
    const std::string listed = openEnd ? typed.substr(0, typed.size() - 1) : typed;
    bool paths = false;
    const std::vector<std::string> entries = TypedEntries(listed, &paths);
    const bool isPath = !port.name.empty() && port.name.front() == '/';
    std::string entry = port.name;
    if (port.comNumber > 0 && !(isPath && (paths || listed.empty()))) {
        entry = std::to_string(port.comNumber);
    }
    if (std::find(entries.begin(), entries.end(), entry) != entries.end() ||
        (entry != port.name && NamesComNumber(listed, port.comNumber))) {
        return typed;
    }
    if (listed.empty()) {
        return entry;
    }
    return openEnd ? typed + entry : typed + "," + entry;
}

}  // namespace station
