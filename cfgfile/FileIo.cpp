#include "cfgfile/FileIo.h"
#include "cfgfile/FileCalls.h"
#include "cfgfile/NativePath.h"
#include "cfgfile/OutputFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

// Writes everything, flushes it to the disk and closes the stream in any case.
bool WriteAndClose(std::FILE* file, std::string_view bytes) {
    // An empty view may carry a null pointer, which fwrite must not be given.
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    ok = ok && sys::SyncStream(file);
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
        if (std::FILE* file = sys::OpenFile(temporary, "wbx")) {
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

// A device takes the bytes where it is; it has nothing to cut or flush to a disk.
bool WriteToDevice(const fs::path& target, std::string_view bytes) {
    const int fd = sys::OpenForWriting(target, false, sys::Accept::kDevice);
    if (fd < 0) {
        return false;
    }
    const bool ok = sys::WriteAll(fd, bytes);
    return sys::CloseFd(fd) == 0 && ok;
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
    const int fd = sys::OpenForWriting(target, create, sys::Accept::kRegular);
    if (fd < 0) {
        return false;
    }
    bool ok = sys::WriteAll(fd, bytes);
    ok = ok && sys::CutTo(fd, bytes.size());
    ok = ok && sys::SyncFd(fd);
    return sys::CloseFd(fd) == 0 && ok;
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
    // The rename would get past a write-protected file that opening it for
    // writing refuses; the operator's protection wins.
    if (exists && sys::WriteProtected(target)) {
        return false;
    }
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
    if (exists && !sys::TakeOverIdentity(file, target)) {
        std::fclose(file);
        fs::remove(temporary, ec);
        return WriteInPlace(target, bytes);
    }
    bool ok = WriteAndClose(file, bytes);
    const int writeError = ok ? 0 : errno;
    if (ok && exists) {
        sys::TakeOverPermissions(temporary, status.permissions());
    }
    ok = ok && sys::MoveOver(temporary, target, exists);
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
        sys::CloseFd(fd_);
    }
}

bool OutputStream::Open(const std::string& path) {
    if (fd_ >= 0 || ClassifyOutput(path) == OutputKind::kRefused) {
        return false;
    }
    bool regular = false;
    fd_ = sys::OpenForWriting(NativePath(path), true, sys::Accept::kRegularOrDevice, &regular);
    if (fd_ < 0 || !regular) {
        return fd_ >= 0;
    }
    const bool emptied = sys::CutTo(fd_, 0);
    if (!emptied) {
        sys::CloseFd(fd_);
        fd_ = -1;
    }
    return emptied;
}

bool OutputStream::Write(std::string_view bytes) {
    return fd_ >= 0 && sys::WriteAll(fd_, bytes);
}

}  // namespace cfgfile
