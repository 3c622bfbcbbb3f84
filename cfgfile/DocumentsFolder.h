// Where a file the user will go looking for is put when no folder was named.
#pragma once

#include <string>

namespace cfgfile {

// The user's documents folder as the system names it, in UTF-8; empty where it
// names none.
std::string DocumentsFolder();

}  // namespace cfgfile
