#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include "station/PrivateFolder.h"

namespace station {

// The user's temporary directory already keeps other users out; the name
// only has to be new.
std::filesystem::path MakePrivateFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::filesystem::path folder = base / ("tirvel-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(folder, ec)) {
            return folder;
        }
        if (ec) {
            throw std::system_error(ec.value(), std::generic_category());
        }
    }
    throw std::system_error(EEXIST, std::generic_category());
}

}  // namespace station
