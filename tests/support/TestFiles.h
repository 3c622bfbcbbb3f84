// Files as the tests read and write them: whole, in bytes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The lines of a text, a CR before each LF dropped.
std::vector<std::string> Lines(const std::string& text);
// Upper-case hex, as the simulator's events log shows bytes.
std::string Hex(const std::string& bytes);

}  // namespace testsupport
