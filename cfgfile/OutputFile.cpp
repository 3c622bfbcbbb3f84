#include "cfgfile/OutputFile.h"

#include <algorithm>
#include <cctype>
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

// Where a write to path lands: symbolic links at the end followed, as open()
// follows them, also to a file that does not exist yet. A loop of links ends
// where it started going round.
fs::path Followed(const fs::path& path) {
    fs::path at = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) {
            break;
        }
        const fs::path target = fs::read_symlink(at, ec);
        if (ec) {
            break;
        }
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    return at;
}

bool SameName(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
    // NTFS tells no case apart.
    const auto lower = [](std::wstring name) {
        std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) {
            return c < 128 ? static_cast<wchar_t>(std::tolower(c)) : c;
        });
        return name;
    };
    return lower(a.filename().wstring()) == lower(b.filename().wstring());
#else
    return a.filename() == b.filename();
#endif
}

std::string FolderOf(const fs::path& path) {
    return Utf8Path(path.has_parent_path() ? path.parent_path() : fs::path("."));
}

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

bool SamePlace(const std::string& a, const std::string& b) {
    if (SameFile(a, b)) {
        return true;
    }
    const fs::path first = Followed(NativePath(a));
    const fs::path second = Followed(NativePath(b));
    if (!SameName(first, second)) {
        return false;
    }
    if (SameFile(FolderOf(first), FolderOf(second))) {
        return true;
    }
    // A folder that is not there yet (a records file's, made at its first
    // record) is told by its name.
    std::error_code ec;
    const fs::path one = fs::absolute(first, ec).lexically_normal();
    const fs::path other = fs::absolute(second, ec).lexically_normal();
    return one == other;
}

}  // namespace cfgfile
