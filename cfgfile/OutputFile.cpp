#include "cfgfile/OutputFile.h"

#include <filesystem>
#include <system_error>

#include "cfgfile/NativePath.h"

#ifdef _WIN32
#include "common/LeanWindows.h"
#else
#include <sys/stat.h>
#endif

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
struct Identity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// Asked of the file itself: no access rights are needed, and a folder opens
// only with backup semantics.
bool IdentityOf(const std::string& path, Identity& id) {
    const HANDLE file = ::CreateFileW(NativePath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return known;
}
#endif

}  // namespace

OutputKind ClassifyOutput(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(NativePath(path), ec);
    switch (status.type()) {
        case fs::file_type::regular:
        case fs::file_type::not_found:
        case fs::file_type::none:  // cannot be told; the write itself will say
            return OutputKind::kFile;
        case fs::file_type::character:
            return OutputKind::kDevice;
        default:
            return OutputKind::kRefused;
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    // Not std::filesystem::equivalent: it declines to compare two devices,
    // and a report written to the serial port in use is one of the cases.
#ifdef _WIN32
    Identity first;
    Identity second;
    return IdentityOf(a, first) && IdentityOf(b, second) && first.volume == second.volume &&
           first.indexHigh == second.indexHigh && first.indexLow == second.indexLow;
#else
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#endif
}

}  // namespace cfgfile
