#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <map>
#include <system_error>
#include <utility>

#include "serial/PortPath.h"

namespace serial {
namespace fs = std::filesystem;

namespace {

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

fs::path LinkPath(int number) {
    fs::path dir = UserPortDirectory();
    return dir.empty() ? dir : dir / ("com" + std::to_string(number));
}

// Where a link points, relative targets taken from the link's directory.
fs::path LinkTarget(const fs::path& link, std::error_code& ec) {
    fs::path target = fs::read_symlink(link, ec);
    if (ec || target.is_absolute()) {
        return target;
    }
    return (link.parent_path() / target).lexically_normal();
}

fs::path AbsoluteTarget(const std::string& target, std::error_code& ec) {
    return fs::absolute(target, ec).lexically_normal();
}

struct Pin {
    int number;
    fs::path device;
    fs::path canonical;  // empty when the target is gone
};

std::vector<Pin> ReadPins() {
    std::vector<Pin> pins;
    const fs::path dir = UserPortDirectory();
    if (dir.empty()) {
        return pins;
    }
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("com", 0) != 0) {
            continue;
        }
        const long number = ParseDecimal(std::string_view(name).substr(3));
        if (number < 1 || number > kMaxComNumber) {
            continue;
        }
        std::error_code linkEc;
        fs::path device = LinkTarget(it->path(), linkEc);
        if (linkEc) {
            // Not a link (a device node made by hand, say): the entry itself is
            // what the number opens.
            device = it->path();
        }
        fs::path canonical = fs::canonical(device, linkEc);
        pins.push_back({static_cast<int>(number), device, linkEc ? fs::path() : canonical});
    }
    return pins;
}

// Serial devices present, in the order they receive free COM numbers: by
// family, then by number.
std::map<std::pair<std::size_t, long>, fs::path> DefaultOrderDevices(const DeviceRoots& roots) {
    static constexpr std::array<std::string_view, 3> kFamilies = {"ttyUSB", "ttyACM", "ttyS"};
    std::map<std::pair<std::size_t, long>, fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(roots.dev, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (std::size_t family = 0; family < kFamilies.size(); ++family) {
            if (name.rfind(kFamilies[family], 0) != 0) {
                continue;
            }
            const long number =
                ParseDecimal(std::string_view(name).substr(kFamilies[family].size()));
            if (number >= 0 && (kFamilies[family] != "ttyS" || HasUart(roots, name))) {
                found.emplace(std::pair(family, number), it->path());
            }
        }
    }
    return found;
}

}  // namespace

bool ComNumbersResolved() {
    return true;
}

fs::path UserPortDirectory() {
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else if (std::string home = HomeDirectory(); !home.empty()) {
        config = fs::path(home) / ".config";
    } else {
        return {};
    }
    return config / "tirvel" / "ports";
}

// A ttyS node exists for every port the kernel could drive; only those whose
// UART was detected have a type other than 0 (PORT_UNKNOWN).
bool HasUart(const DeviceRoots& roots, const std::string& name) {
    std::ifstream in(roots.sysTty / name / "type");
    int type = 0;
    return static_cast<bool>(in >> type) && type != 0;
}

std::vector<ComPortEntry> ListComPorts(const DeviceRoots& roots) {
    std::vector<ComPortEntry> entries;
    std::array<bool, kMaxComNumber + 1> taken{};
    std::vector<fs::path> pinnedDevices;
    for (Pin& pin : ReadPins()) {
        taken[static_cast<std::size_t>(pin.number)] = true;
        const bool present = !pin.canonical.empty();
        entries.push_back({pin.number, pin.device.string(), true, present});
        if (present) {
            pinnedDevices.push_back(std::move(pin.canonical));
        }
    }
    int next = 1;
    for (const auto& [order, device] : DefaultOrderDevices(roots)) {
        std::error_code ec;
        fs::path canonical = fs::canonical(device, ec);
        if (ec) {
            canonical = device;
        }
        if (std::find(pinnedDevices.begin(), pinnedDevices.end(), canonical) !=
            pinnedDevices.end()) {
            continue;
        }
        while (next <= kMaxComNumber && taken[static_cast<std::size_t>(next)]) {
            ++next;
        }
        if (next > kMaxComNumber) {
            break;
        }
        taken[static_cast<std::size_t>(next)] = true;
        entries.push_back({next, device.string(), false, true});
    }
    std::sort(entries.begin(), entries.end(),
              [](const ComPortEntry& a, const ComPortEntry& b) { return a.number < b.number; });
    return entries;
}

std::string ResolveDevicePath(std::string_view path, const DeviceRoots& roots) {
    const int number = ParseComNumber(path);
    if (number == 0) {
        return std::string(path);
    }
    for (ComPortEntry& entry : ListComPorts(roots)) {
        if (entry.number == number) {
            return std::move(entry.device);
        }
    }
    return {};
}

bool RegisterComPort(int number, const std::string& target, std::string* error) {
    auto fail = [error](std::string why) {
        if (error != nullptr) {
            *error = std::move(why);
        }
        return false;
    };
    auto failAt = [&fail](const fs::path& path, const std::error_code& ec) {
        return fail(path.string() + ": " + ec.message());
    };
    if (number < 1 || number > kMaxComNumber) {
        return fail("COM" + std::to_string(number) + " is outside COM1-COM255");
    }
    if (target.empty()) {
        return fail("no target to link COM" + std::to_string(number) + " to");
    }
    const fs::path link = LinkPath(number);
    if (link.empty()) {
        return fail("neither XDG_CONFIG_HOME nor a home directory is known");
    }
    std::error_code ec;
    const fs::path wanted = AbsoluteTarget(target, ec);
    if (ec) {
        return failAt(target, ec);
    }
    fs::create_directories(link.parent_path(), ec);
    if (ec) {
        return failAt(link.parent_path(), ec);
    }

    const fs::file_status status = fs::symlink_status(link, ec);
    if (status.type() != fs::file_type::not_found) {
        if (ec) {
            return failAt(link, ec);
        }
        if (!fs::is_symlink(status)) {
            return fail(link.string() + " exists and is not a link; left alone");
        }
        const fs::path current = LinkTarget(link, ec);
        if (!ec && current == wanted) {
            return true;
        }
        const bool live = fs::exists(link, ec);
        if (ec) {
            return failAt(link, ec);
        }
        if (live) {
            return fail("COM" + std::to_string(number) + " already points to " + current.string() +
                        ", which is present");
        }
        fs::remove(link, ec);
        if (ec) {
            return failAt(link, ec);
        }
    }
    // create_symlink fails when someone else created the link since we looked:
    // the race is lost, not overwritten.
    fs::create_symlink(wanted, link, ec);
    if (ec) {
        return failAt(link, ec);
    }
    return true;
}

bool UnregisterComPort(int number, const std::string& expectedTarget) {
    if (number < 1 || number > kMaxComNumber || expectedTarget.empty()) {
        return false;
    }
    const fs::path link = LinkPath(number);
    if (link.empty()) {
        return false;
    }
    std::error_code ec;
    const fs::path current = LinkTarget(link, ec);
    if (ec) {
        return false;
    }
    const fs::path expected = AbsoluteTarget(expectedTarget, ec);
    if (ec || current != expected) {
        return false;
    }
    return fs::remove(link, ec) && !ec;
}

}  // namespace serial
