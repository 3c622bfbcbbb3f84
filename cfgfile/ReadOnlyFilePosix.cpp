#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cfgfile/ReadOnlyFile.h"

namespace cfgfile {

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

InputStatus ReadOnlyFile::Open(const std::filesystem::path& native) {
    // The name may have been swapped for a FIFO since it was asked about:
    // without O_NONBLOCK that open would wait, and the descriptor is what is
    // checked again.
    fd_ = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        return InputStatus::kCannotRead;
    }
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0) {
        return InputStatus::kCannotRead;
    }
    if (!S_ISREG(opened.st_mode)) {
        return InputStatus::kNotRegular;
    }
    size_ = static_cast<std::uintmax_t>(opened.st_size);
    return InputStatus::kOk;
}

std::optional<std::size_t> ReadOnlyFile::Read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            return std::nullopt;
        }
    }
}

}  // namespace cfgfile
