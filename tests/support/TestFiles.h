// Files as the tests read and write them: whole, in bytes.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The lines of a text, a CR before each LF dropped.
std::vector<std::string> Lines(const std::string& text);
// A CSV line split at each comma: the report cells the tests read hold none.
std::vector<std::string> CsvFields(const std::string& line);
// A station report's rows (their fields) by the port each names, the heading
// line left out.
std::map<std::string, std::vector<std::vector<std::string>>> ReportRowsByPort(
    const std::filesystem::path& report);
// Upper-case hex, as the simulator's events log shows bytes.
std::string Hex(const std::string& bytes);

#ifndef _WIN32
// The kinds of file no profile, report or export may be. Each is made at
// path; false when it could not be.
enum class SpecialKind { kFifo, kSocket, kFolder, kNullDevice, kBlockDevice };
// The devices are nodes of the test's own (1,3 is what /dev/null is; 7,200 a
// loop device no system has set up), so a writer that mistreats them harms
// nothing; they need root's right to make device nodes.
bool MakeSpecialFile(const std::filesystem::path& path, SpecialKind kind);
const char* SpecialKindName(SpecialKind kind);
#endif

}  // namespace testsupport
