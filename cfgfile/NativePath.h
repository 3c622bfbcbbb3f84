// Paths arrive as UTF-8 (the file choosers, the command line). On Windows a
// narrow path would go through the ANSI code page and lose every character
// it lacks, so there they become wide paths; POSIX takes the bytes as they are.
#pragma once

#include <filesystem>
#include <string>

namespace cfgfile {

std::filesystem::path NativePath(const std::string& utf8);

// And back: the UTF-8 the rest of the program speaks.
std::string Utf8Path(const std::filesystem::path& path);

}  // namespace cfgfile
