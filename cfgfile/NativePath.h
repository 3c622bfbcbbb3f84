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

}  // namespace cfgfile
