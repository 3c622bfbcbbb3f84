#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "cfgfile/NativePath.h"
#include "cli/LogFile.h"

namespace cli {

bool LogFile::Open(const std::string& path) {
    const auto native = cfgfile::NativePath(path);
    fd_ = ::_wopen(native.c_str(), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0) {
        return false;
    }
    struct _stat64 status {};
    const bool regular = ::_fstat64(fd_, &status) == 0 && (status.st_mode & _S_IFREG) != 0;
    kind_ = ::_isatty(fd_) ? Kind::Terminal : regular ? Kind::Regular : Kind::Stream;
    size_ = 0;
    good_ = true;
    return true;
}

}  // namespace cli
