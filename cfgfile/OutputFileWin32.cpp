#include "cfgfile/NativePath.h"
#include "cfgfile/OutputFile.h"
#include "common/LeanWindows.h"

namespace cfgfile {
namespace {

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

}  // namespace

// Not std::filesystem::equivalent: it declines to compare two devices, and a
// report written to the serial port in use is one of the cases.
bool SameFile(const std::string& a, const std::string& b) {
    Identity first;
    Identity second;
    return IdentityOf(a, first) && IdentityOf(b, second) && first.volume == second.volume &&
           first.indexHigh == second.indexHigh && first.indexLow == second.indexLow;
}

}  // namespace cfgfile
