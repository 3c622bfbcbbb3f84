#include "serial/PortPath.h"

namespace serial {
namespace fs = std::filesystem;

bool ComNumbersResolved() {
    return false;
}

// Windows has COM names of its own; there is nothing to resolve or register.
fs::path UserPortDirectory() {
    return {};
}
std::vector<ComPortEntry> ListComPorts(const DeviceRoots&) {
    return {};
}
std::string ResolveDevicePath(std::string_view path, const DeviceRoots&) {
    return std::string(path);
}
bool RegisterComPort(int, const std::string&, std::string* error) {
    if (error != nullptr) {
        *error = "port links are not used on Windows";
    }
    return false;
}
bool UnregisterComPort(int, const std::string&) {
    return false;
}

}  // namespace serial
