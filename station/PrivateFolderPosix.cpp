#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "station/PrivateFolder.h"

namespace station {

std::filesystem::path MakePrivateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tirvel-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category());
    }
    return std::filesystem::path(pattern);
}

}  // namespace station
