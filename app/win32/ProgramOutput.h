// What a desktop program says from its command line (help, the version, a
// wrong option): on the console it was started from, else in a message box.
#pragma once

#include <string>

namespace app::win32 {

void PrintOrShow(const std::string& text, bool error, const std::string& caption);

}  // namespace app::win32
