// A settings folder of the test's own (XDG_CONFIG_HOME) while the object
// lives, so port links never touch the real home directory.
#pragma once

#include <filesystem>

#include "ProgramState.h"
#include "TempDir.h"

namespace testsupport {

class TempConfigHome {
public:
    TempConfigHome() { env_.Set("XDG_CONFIG_HOME", dir_.Path().string()); }

    const std::filesystem::path& Path() const { return dir_.Path(); }
    std::filesystem::path PortDirectory() const { return dir_.Path() / "tirvel" / "ports"; }

private:
    TempDir dir_;
    ScopedEnvironment env_;
};

}  // namespace testsupport
