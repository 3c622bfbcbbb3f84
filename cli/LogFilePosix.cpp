#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cfgfile/NativePath.h"
#include "cli/LogFile.h"

namespace cli {

bool LogFile::Open(const std::string& path) {
    const auto native = cfgfile::NativePath(path);
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
    size_ = 0;
    good_ = true;
    return true;
}

}  // namespace cli
