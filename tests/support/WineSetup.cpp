#include "WineSetup.h"

#include "ProgramState.h"

namespace testsupport {

WineSetup WineFromEnvironment() {
    return {EnvOr("TIRVEL_WINDOWS_BIN"), EnvOr("WINEPREFIX"),
            EnvOr("TIRVEL_WINE", "/usr/bin/wine")};
}

std::optional<std::string> WineMissing(const WineSetup& setup) {
    if (setup.prefix.empty() || !std::filesystem::is_directory(setup.prefix / "dosdevices")) {
        return "no Wine prefix: WINEPREFIX must name one made with wineboot";
    }
    if (!std::filesystem::exists(setup.wine)) {
        return "Wine is not installed (" + setup.wine + ")";
    }
    return std::nullopt;
}

}  // namespace testsupport
