#include "cli/LogFile.h"

#include <algorithm>
#include <cerrno>

#include "cfgfile/NativePath.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {
namespace {

#ifdef _WIN32
// The CRT's calls take at most an int's worth at a time.
constexpr std::size_t kMaxCall = 1u << 30;

bool WriteAt(int fd, std::uint64_t offset, std::string_view bytes, bool seek) {
    if (seek && ::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) {
        return false;
    }
    while (!bytes.empty()) {
        const auto chunk = static_cast<unsigned>(std::min(bytes.size(), kMaxCall));
        const int written = ::_write(fd, bytes.data(), chunk);
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool ReadFrom(int fd, std::uint64_t offset, char* data, std::size_t count) {
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
#else
bool WriteAt(int fd, std::uint64_t offset, std::string_view bytes, bool seek) {
    while (!bytes.empty()) {
        const ssize_t written =
            seek ? ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset))
                 : ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool ReadFrom(int fd, std::uint64_t offset, char* data, std::size_t count) {
    while (count > 0) {
        const ssize_t got = ::pread(fd, data, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        data += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}
#endif

}  // namespace

LogFile::~LogFile() {
    Close();
}

bool LogFile::Open(const std::string& path) {
    const auto native = cfgfile::NativePath(path);
#ifdef _WIN32
    fd_ = ::_wopen(native.c_str(), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0) {
        return false;
    }
    struct _stat64 status {};
    const bool regular = ::_fstat64(fd_, &status) == 0 && (status.st_mode & _S_IFREG) != 0;
    kind_ = ::_isatty(fd_) ? Kind::Terminal : regular ? Kind::Regular : Kind::Stream;
#else
    // A device is written as it is. A FIFO or a socket takes no log: open()
    // would wait for a reader that may never come, so it never waits here,
    // and what the descriptor turns out to be is checked.
    struct stat status {};
    const bool special = ::stat(native.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
    fd_ = special ? ::open(native.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)
                  : ::open(native.c_str(),
                           O_RDWR | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd_ < 0) {
        return false;
    }
    const bool regular = ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
    const int flags = ::fcntl(fd_, F_GETFL);
    if ((!regular && !S_ISCHR(status.st_mode)) || flags < 0 ||
        ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    kind_ = ::isatty(fd_) ? Kind::Terminal : regular ? Kind::Regular : Kind::Stream;
#endif
    size_ = 0;
    good_ = true;
    return true;
}

bool LogFile::Append(std::string_view bytes) {
    if (fd_ < 0 || !good_) {
        return false;
    }
    good_ = WriteAt(fd_, size_, bytes, kind_ == Kind::Regular);
    size_ += good_ ? bytes.size() : 0;
    return good_;
}

bool LogFile::CutTo(std::uint64_t size) {
    if (fd_ < 0 || !good_ || kind_ != Kind::Regular || size > size_) {
        return false;
    }
#ifdef _WIN32
    good_ = ::_chsize_s(fd_, static_cast<long long>(size)) == 0;
#else
    good_ = ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
#endif
    size_ = good_ ? size : size_;
    return good_;
}

bool LogFile::ReadAt(std::uint64_t offset, std::size_t count, std::string& bytes) {
    if (fd_ < 0 || !good_ || kind_ != Kind::Regular || offset + count > size_) {
        return false;
    }
    bytes.resize(count);
    // What cannot be read back cannot be cut right either.
    good_ = ReadFrom(fd_, offset, bytes.data(), count) && good_;
    return good_;
}

bool LogFile::Close() {
    if (fd_ < 0) {
        return good_;
    }
#ifdef _WIN32
    if (kind_ == Kind::Regular) {
        good_ = ::_commit(fd_) == 0 && good_;
    }
    good_ = ::_close(fd_) == 0 && good_;
#else
    // A log saved as it came is only worth it if it survives the machine
    // going down right after.
    if (kind_ == Kind::Regular) {
        good_ = ::fsync(fd_) == 0 && good_;
    }
    good_ = ::close(fd_) == 0 && good_;
#endif
    fd_ = -1;
    return good_;
}

}  // namespace cli
