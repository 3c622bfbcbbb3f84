// tirvel-station on Win32: the language, the common controls, the dialog
// host, the station window with its form filled from the last job and the
// command line, and the message loop.
#pragma once

#include <string>
#include <vector>

namespace app::win32 {

// The exit code, for the arguments after the program's name (UTF-8).
int RunStation(const std::vector<std::string>& arguments, int showCommand);

}  // namespace app::win32
