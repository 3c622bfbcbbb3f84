#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>

#include "cfgfile/FileCalls.h"

namespace cfgfile::sys {
namespace {

namespace fs = std::filesystem;

#ifdef __linux__
bool SameAttribute(const fs::path& target, int temporaryFd, const char* name) {
    char old[256];
    char now[256];
    const ssize_t oldSize = ::getxattr(target.c_str(), name, old, sizeof old);
    const ssize_t nowSize = ::fgetxattr(temporaryFd, name, now, sizeof now);
    return oldSize >= 0 && oldSize == nowSize &&
           std::memcmp(old, now, static_cast<std::size_t>(oldSize)) == 0;
}

// Extended attributes, POSIX ACLs among them, belong to the inode and would not
// come along to a new one. SELinux labels every file: the label the temporary
// got from the folder counts as kept when it is the same one.
bool AttributesWouldBeLost(const fs::path& target, int temporaryFd) {
    ssize_t size = ::listxattr(target.c_str(), nullptr, 0);
    if (size <= 0) {
        return false;  // none, or a file system without them
    }
    std::string names(static_cast<std::size_t>(size), '\0');
    size = ::listxattr(target.c_str(), names.data(), names.size());
    if (size < 0) {
        return true;  // they changed under us; keep whatever they are now
    }
    names.resize(static_cast<std::size_t>(size));
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.c_str() + at;
        at += std::strlen(name) + 1;
        if (std::string_view(name) != "security.selinux" ||
            !SameAttribute(target, temporaryFd, name)) {
            return true;
        }
    }
    return false;
}
#else
bool AttributesWouldBeLost(const fs::path&, int) {
    return false;
}
#endif

// Moves count bytes through step(done, left), a read or write of up to left
// bytes at done, again where a signal interrupted it; false when a step fails
// or moves nothing.
template <class Step>
bool EveryByte(std::size_t count, Step step) {
    for (std::size_t done = 0; done < count;) {
        const ssize_t moved = step(done, count - done);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

}  // namespace

std::FILE* OpenFile(const fs::path& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

// Without this a crash soon after the rename can leave an empty file where the
// old one was.
bool SyncStream(std::FILE* file) {
    return ::fsync(::fileno(file)) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
    return EveryByte(bytes.size(), [&](std::size_t done, std::size_t left) {
        return ::write(fd, bytes.data() + done, left);
    });
}

bool WriteAt(int fd, std::uint64_t offset, std::string_view bytes) {
    return EveryByte(bytes.size(), [&](std::size_t done, std::size_t left) {
        return ::pwrite(fd, bytes.data() + done, left, static_cast<off_t>(offset + done));
    });
}

bool ReadAt(int fd, std::uint64_t offset, char* data, std::size_t count) {
    return EveryByte(count, [&](std::size_t done, std::size_t left) {
        return ::pread(fd, data + done, left, static_cast<off_t>(offset + done));
    });
}

int OpenForWriting(const fs::path& target, bool create, Accept accept, bool* regular) {
    const int fd =
        ::open(target.c_str(),
               O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0) {
        return -1;
    }
    struct stat opened {};
    const bool isRegular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    const bool isDevice = !isRegular && S_ISCHR(opened.st_mode);
    const bool accepted = accept == Accept::kRegular  ? isRegular
                          : accept == Accept::kDevice ? isDevice
                                                      : isRegular || isDevice;
    // Once open, a device's writes may wait as writes do; only the open must not.
    const int flags = ::fcntl(fd, F_GETFL);
    if (!accepted || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    if (regular != nullptr) {
        *regular = isRegular;
    }
    return fd;
}

int CloseFd(int fd) {
    return ::close(fd);
}

bool CutTo(int fd, std::uintmax_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool SyncFd(int fd) {
    return ::fsync(fd) == 0;
}

bool WriteProtected(const fs::path& target) {
    return ::access(target.c_str(), W_OK) != 0;
}

// The old file's owner, group and mode, so that the rename changes nothing but
// the bytes. Not to be had: another user's file written by someone who may not
// give files away, a group the writer is not in, or attributes a new file
// would lack.
bool TakeOverIdentity(std::FILE* temporary, const fs::path& target) {
    struct stat old {};
    struct stat now {};
    const int fd = ::fileno(temporary);
    if (::stat(target.c_str(), &old) != 0 || ::fstat(fd, &now) != 0) {
        return false;
    }
    if ((old.st_uid != now.st_uid || old.st_gid != now.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        return false;
    }
    // After the chown, which clears set-user-ID and set-group-ID bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        return false;
    }
    return !AttributesWouldBeLost(target, fd);
}

// The mode came along with the identity, before the bytes.
void TakeOverPermissions(const fs::path&, fs::perms) {}

bool SameFileName(const fs::path& a, const fs::path& b) {
    return a.filename() == b.filename();
}

bool MoveOver(const fs::path& temporary, const fs::path& target, bool) {
    std::error_code ec;
    fs::rename(temporary, target, ec);
    return !ec;
}

}  // namespace cfgfile::sys
