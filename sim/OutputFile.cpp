#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cfgfile/FileIo.h"

namespace kavrelsim {
namespace {

bool Fail(std::string* error, const std::string& path, const char* why) {
    if (error != nullptr) {
        *error = path + ": " + why;
    }
    return false;
}

// Without O_NONBLOCK opening a FIFO waits for a reader, for ever if none comes.
bool WriteToNode(const std::string& path, std::string_view bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int why = errno;
        return Fail(error, path,
                    why == ENXIO ? "nobody reads it; nothing written" : std::strerror(why));
    }
    // A reader is there: it takes the bytes at its own pace.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int why = errno;
            ::close(fd);
            return Fail(error, path, n < 0 ? std::strerror(why) : "nothing taken");
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace

bool WriteOutputFile(const std::string& path, std::string_view bytes, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return Fail(error, path, "is a directory");
        }
        if (!S_ISREG(st.st_mode)) {
            return WriteToNode(path, bytes, error);
        }
    }
    if (!cfgfile::ReplaceFileContents(path, bytes)) {
        return Fail(error, path, "cannot be written");
    }
    return true;
}

bool IsLoadableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace kavrelsim
