// sysfs shows a device link for every tty with hardware and a driver behind
// it; virtual consoles and pseudo-terminals have none.
#include <algorithm>
#include <system_error>

#include "serial/PresentPorts.h"

namespace serial {
namespace fs = std::filesystem;

namespace {

// The lowest COM number that opens this device now, else 0.
int ComNumberOf(const fs::path& device, const std::vector<ComPortEntry>& numbered) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(device, ec);
    for (const ComPortEntry& entry : numbered) {
        std::error_code entryEc;
        if (entry.present &&
            (entry.device == device.string() ||
             (!ec && fs::canonical(entry.device, entryEc) == canonical && !entryEc))) {
            return entry.number;
        }
    }
    return 0;
}

}  // namespace

std::vector<PresentPort> ListPresentPorts(const DeviceRoots& roots) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(roots.sysTty, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code entryEc;
        // Only what can be opened here; a ttyS without a UART opens but never talks.
        if (!fs::exists(it->path() / "device", entryEc) || !fs::exists(roots.dev / name, entryEc) ||
            (name.rfind("ttyS", 0) == 0 && !HasUart(roots, name))) {
            continue;
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    const std::vector<ComPortEntry> numbered = ListComPorts(roots);
    std::vector<PresentPort> ports;
    ports.reserve(names.size());
    for (const std::string& name : names) {
        const fs::path device = roots.dev / name;
        ports.push_back({device.string(), ComNumberOf(device, numbered)});
    }
    return ports;
}

}  // namespace serial
