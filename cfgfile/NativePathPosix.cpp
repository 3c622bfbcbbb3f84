#include "cfgfile/NativePath.h"

namespace cfgfile {

std::filesystem::path NativePath(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::string Utf8Path(const std::filesystem::path& path) {
    return path.string();
}

}  // namespace cfgfile
