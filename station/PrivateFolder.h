// A new folder in the temporary directory that only its owner may enter.
#pragma once

#include <filesystem>

namespace station {

// Throws std::system_error with the system's reason when none can be made.
std::filesystem::path MakePrivateFolder();

}  // namespace station
