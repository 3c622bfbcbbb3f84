#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "cfgfile/FileCalls.h"
#include "common/LeanWindows.h"

namespace cfgfile::sys {

namespace fs = std::filesystem;

namespace {

// The CRT's calls take at most an int's worth at a time.
constexpr std::size_t kMaxCall = 1u << 30;

}  // namespace

std::FILE* OpenFile(const fs::path& path, const char* mode) {
    const std::string narrowMode(mode);
    const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
    return ::_wfopen(path.c_str(), wideMode.c_str());
}

bool SyncStream(std::FILE*) {
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const unsigned chunk = static_cast<unsigned>(std::min(bytes.size(), kMaxCall));
        const int written = ::_write(fd, bytes.data(), chunk);
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool WriteAt(int fd, std::uint64_t offset, std::string_view bytes) {
    return ::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) >= 0 && WriteAll(fd, bytes);
}

bool ReadAt(int fd, std::uint64_t offset, char* data, std::size_t count) {
    if (::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) {
        return false;
    }
    while (count > 0) {
        const int got = ::_read(fd, data, static_cast<unsigned>(std::min(count, kMaxCall)));
        if (got <= 0) {
            return false;
        }
        data += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

// Windows has no FIFOs in the file system, and a named pipe with nobody
// serving it fails to open at once; the kind was told from its status.
int OpenForWriting(const fs::path& target, bool create, Accept, bool* regular) {
    const int fd = ::_wopen(target.c_str(), _O_WRONLY | _O_BINARY | (create ? _O_CREAT : 0),
                            _S_IREAD | _S_IWRITE);
    if (fd >= 0 && regular != nullptr) {
        std::error_code ec;
        *regular = fs::is_regular_file(target, ec);
    }
    return fd;
}

int CloseFd(int fd) {
    return ::_close(fd);
}

bool CutTo(int fd, std::uintmax_t size) {
    return ::_chsize_s(fd, static_cast<long long>(size)) == 0;
}

bool SyncFd(int fd) {
    return ::_commit(fd) == 0;
}

// Not asked here: the replace is what may refuse.
bool WriteProtected(const fs::path&) {
    return false;
}

// ReplaceFileW carries the ACL and the attributes over when it moves.
bool TakeOverIdentity(std::FILE*, const fs::path&) {
    return true;
}

// The read-only bit and the like.
void TakeOverPermissions(const fs::path& temporary, fs::perms old) {
    std::error_code ec;
    fs::permissions(temporary, old, ec);
}

// NTFS tells no case apart.
bool SameFileName(const fs::path& a, const fs::path& b) {
    const auto lower = [](std::wstring name) {
        std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) {
            return c < 128 ? static_cast<wchar_t>(std::tolower(c)) : c;
        });
        return name;
    };
    return lower(a.filename().wstring()) == lower(b.filename().wstring());
}

bool MoveOver(const fs::path& temporary, const fs::path& target, bool exists) {
    if (exists) {
        // Unlike a plain rename, this keeps the old file's ACL, attributes,
        // creation time and alternate streams.
        if (::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                           nullptr)) {
            return true;
        }
        // The old file is gone already and the new bytes still have the
        // temporary name: they must get the target's.
        if (::GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    return !ec;
}

}  // namespace cfgfile::sys
