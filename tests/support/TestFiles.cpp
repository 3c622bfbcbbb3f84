#include "TestFiles.h"

#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#endif

namespace testsupport {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) {
        fields.push_back(field);
    }
    return fields;
}

std::map<std::string, std::vector<std::vector<std::string>>> ReportRowsByPort(
    const std::filesystem::path& report) {
    std::map<std::string, std::vector<std::vector<std::string>>> rows;
    const std::vector<std::string> lines = Lines(ReadFile(report));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        const std::vector<std::string> fields = CsvFields(lines[i]);
        rows[fields.at(0)].push_back(fields);
    }
    return rows;
}

std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

#ifndef _WIN32
bool MakeSpecialFile(const std::filesystem::path& path, SpecialKind kind) {
    switch (kind) {
        case SpecialKind::kFifo:
            return ::mkfifo(path.c_str(), 0600) == 0;
        case SpecialKind::kFolder:
            return ::mkdir(path.c_str(), 0700) == 0;
        case SpecialKind::kNullDevice:
            return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
        case SpecialKind::kBlockDevice:
            return ::mknod(path.c_str(), S_IFBLK | 0600, ::makedev(7, 200)) == 0;
        case SpecialKind::kSocket:
            break;
    }
    // The name stays in the file system after the socket is closed.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

const char* SpecialKindName(SpecialKind kind) {
    constexpr const char* kNames[] = {"Fifo", "Socket", "Folder", "NullDevice", "BlockDevice"};
    return kNames[static_cast<int>(kind)];
}
#endif

}  // namespace testsupport
