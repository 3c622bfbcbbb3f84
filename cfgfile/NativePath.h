// Paths arrive as UTF-8 (the file choosers, the command line). On Windows a
// narrow path would go through the ANSI code page and lose every character
// it lacks, so there they become wide paths; POSIX takes the bytes as they are.
#pragma once

#include <filesystem>
#include <string>

namespace cfgfile {

inline std::filesystem::path NativePath(const std::string& utf8) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return std::filesystem::path(utf8);
#endif
}

// And back: the UTF-8 the rest of the program speaks.
inline std::string Utf8Path(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
#else
    return path.string();
#endif
}

}  // namespace cfgfile
