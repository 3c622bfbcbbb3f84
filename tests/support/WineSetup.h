// The Windows build as the wine suites run it from this machine: the folder
// with its programs (TIRVEL_WINDOWS_BIN), Wine's prefix (WINEPREFIX) and Wine
// itself (TIRVEL_WINE, or /usr/bin/wine).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

struct WineSetup {
    std::filesystem::path bin;
    std::filesystem::path prefix;
    std::string wine;

    // COM port n of the prefix: the link in its dosdevices.
    std::filesystem::path ComLink(int number) const {
        return prefix / "dosdevices" / ("com" + std::to_string(number));
    }
};

WineSetup WineFromEnvironment();
// What a case says when it cannot run for want of a prefix or of Wine;
// nothing when both are there.
std::optional<std::string> WineMissing(const WineSetup& setup);

}  // namespace testsupport
