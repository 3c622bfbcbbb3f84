#include "cfgfile/FileIo.h"
#include "cfgfile/NativePath.h"
#include "cfgfile/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "common/LeanWindows.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif
#endif

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    const std::string narrowMode(mode);
    const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
    return ::_wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// Writes everything, flushes it to the disk and closes the stream in any case.
bool WriteAndClose(std::FILE* file, std::string_view bytes) {
    // An empty view may carry a null pointer, which fwrite must not be given.
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
#ifndef _WIN32
    // Without this a crash soon after the rename can leave an empty file where
    // the old one was.
    ok = ok && ::fsync(::fileno(file)) == 0;
#endif
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// A new file next to the target, created exclusively so that nothing that
// happens to have the name is overwritten. error is errno of the last attempt.
std::FILE* CreateTemporaryBeside(const fs::path& target, fs::path& temporary, int& error) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = target;
        fs::path name(".");
        name += target.filename().native();
        name += ".tmp-" + std::to_string(random());
        temporary.replace_filename(name);
        if (std::FILE* file = OpenFile(temporary, "wbx")) {
            return file;
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    return nullptr;
}

// The folder will not take another name (no write right on it, a read-only
// or full file system, or the longer temporary name is too long), yet the
// file itself may well be writable.
bool FolderRefusesNewFile(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
        case ENOSPC:
        case ENAMETOOLONG:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return true;
        default:
            return false;
    }
}

#ifdef _WIN32
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int written = ::_write(fd, bytes.data(), chunk);
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
#else
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
#endif

// What a file opened for writing may turn out to be.
enum class Accept { kRegular, kRegularOrDevice, kDevice };

// Opens the file for writing without ever waiting in open(): a FIFO put in
// the path's place since it was looked at has no reader (and fails) or is
// refused on the descriptor. regular tells which kind was found. -1 when it
// cannot be opened or is not of a kind accepted.
int OpenForWriting(const fs::path& target, bool create, Accept accept, bool* regular = nullptr) {
#ifdef _WIN32
    // Windows has no FIFOs in the file system, and a named pipe with nobody
    // serving it fails to open at once; the kind was told from its status.
    (void)accept;
    const int fd = ::_wopen(target.c_str(), _O_WRONLY | _O_BINARY | (create ? _O_CREAT : 0),
                            _S_IREAD | _S_IWRITE);
    if (fd >= 0 && regular != nullptr) {
        std::error_code ec;
        *regular = fs::is_regular_file(target, ec);
    }
    return fd;
#else
    const int fd =
        ::open(target.c_str(),
               O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0) {
        return -1;
    }
    struct stat opened {};
    const bool isRegular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    const bool isDevice = !isRegular && S_ISCHR(opened.st_mode);
    const bool accepted = accept == Accept::kRegular ? isRegular
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
#endif
}

int CloseFd(int fd) {
#ifdef _WIN32
    return ::_close(fd);
#else
    return ::close(fd);
#endif
}

// A device takes the bytes where it is; it has nothing to cut or flush to a disk.
bool WriteToDevice(const fs::path& target, std::string_view bytes) {
    const int fd = OpenForWriting(target, false, Accept::kDevice);
    if (fd < 0) {
        return false;
    }
    const bool ok = WriteAll(fd, bytes);
    return CloseFd(fd) == 0 && ok;
}

// Writes over the file's own bytes and then cuts it to the new length; it is
// never emptied first. A write that stops part-way (a full disk, a pulled
// stick) leaves the new bytes up to that point and the old ones after them,
// at no less than the old length, instead of an empty or short file. The file
// stays the same file: owner, group, mode, every hard link, ACLs and extended
// attributes are untouched. What it cannot give is the rename's
// all-or-nothing, which is why it is only the way out. create: the file may
// not exist yet (the target of a symbolic link that names nothing so far).
bool WriteInPlace(const fs::path& target, std::string_view bytes, bool create = false) {
    // Write-only: a file one may write but not read still takes it.
    const int fd = OpenForWriting(target, create, Accept::kRegular);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, bytes);
#ifdef _WIN32
    ok = ok && ::_chsize_s(fd, static_cast<long long>(bytes.size())) == 0;
    ok = ok && ::_commit(fd) == 0;
#else
    ok = ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    ok = ok && ::fsync(fd) == 0;
#endif
    return CloseFd(fd) == 0 && ok;
}

#ifndef _WIN32
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

// Gives the temporary the old file's owner, group and mode, so that the rename
// changes nothing but the bytes. False when that cannot be had: another
// user's file written by someone who may not give files away, a group the
// writer is not in, or attributes a new file would lack.
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
#endif

// Puts the written temporary in the target's place.
bool MoveOver(const fs::path& temporary, const fs::path& target, bool exists) {
#ifdef _WIN32
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
#else
    (void)exists;
#endif
    std::error_code ec;
    fs::rename(temporary, target, ec);
    return !ec;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
    std::error_code ec;
    fs::path target = NativePath(path);
    // Through a symbolic link the file it names is replaced; the link stays.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (ec) {
            // It names nothing yet: a rename would put a plain file in the
            // link's place, creating through it makes the file it names.
            return WriteInPlace(target, bytes, true);
        }
        target = std::move(resolved);
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
        // A renamed file would take a device's place (/dev/null, for root);
        // a pipe, a socket, a folder or a disk takes no file at all.
        return fs::is_character_file(status) && WriteToDevice(target, bytes);
    }
#ifndef _WIN32
    // The rename would get past a write-protected file that opening it for
    // writing refuses; the operator's protection wins.
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        return false;
    }
#endif
    // A rename would leave the other names with the old bytes.
    if (exists && fs::hard_link_count(target, ec) > 1 && !ec) {
        return WriteInPlace(target, bytes);
    }

    fs::path temporary;
    int error = 0;
    std::FILE* file = CreateTemporaryBeside(target, temporary, error);
    if (file == nullptr) {
        return exists && FolderRefusesNewFile(error) && WriteInPlace(target, bytes);
    }
#ifndef _WIN32
    if (exists && !TakeOverIdentity(file, target)) {
        std::fclose(file);
        fs::remove(temporary, ec);
        return WriteInPlace(target, bytes);
    }
#endif
    bool ok = WriteAndClose(file, bytes);
    const int writeError = ok ? 0 : errno;
#ifdef _WIN32
    if (ok && exists) {
        // Failing to copy the read-only bit and the like is no reason to lose
        // the write.
        fs::permissions(temporary, status.permissions(), ec);
    }
#endif
    ok = ok && MoveOver(temporary, target, exists);
    if (!ok) {
        fs::remove(temporary, ec);
    }
    // A disk too full for a second copy can still take the new bytes over the
    // old ones when they need no more room than those.
    if (!ok && exists &&
        (writeError == ENOSPC
#ifdef EDQUOT
         || writeError == EDQUOT
#endif
         )) {
        const std::uintmax_t oldSize = fs::file_size(target, ec);
        if (!ec && bytes.size() <= oldSize) {
            return WriteInPlace(target, bytes);
        }
    }
    return ok;
}

OutputStream::~OutputStream() {
    if (fd_ >= 0) {
        CloseFd(fd_);
    }
}

bool OutputStream::Open(const std::string& path) {
    if (fd_ >= 0 || ClassifyOutput(path) == OutputKind::kRefused) {
        return false;
    }
    bool regular = false;
    fd_ = OpenForWriting(NativePath(path), true, Accept::kRegularOrDevice, &regular);
    if (fd_ < 0 || !regular) {
        return fd_ >= 0;
    }
#ifdef _WIN32
    const bool emptied = ::_chsize_s(fd_, 0) == 0;
#else
    const bool emptied = ::ftruncate(fd_, 0) == 0;
#endif
    if (!emptied) {
        CloseFd(fd_);
        fd_ = -1;
    }
    return emptied;
}

bool OutputStream::Write(std::string_view bytes) {
    return fd_ >= 0 && WriteAll(fd_, bytes);
}

}  // namespace cfgfile
