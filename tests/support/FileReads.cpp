#include "FileReads.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace testsupport {

FileReads::FileReads(const std::filesystem::path& file, std::function<void(int)> afterRead) {
    fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    // The folder, not the file: a file renamed over it is still seen.
    if (fd_ < 0 ||
        ::inotify_add_watch(fd_, file.parent_path().c_str(), IN_OPEN | IN_CLOSE_NOWRITE) < 0) {
        throw std::runtime_error("cannot watch " + file.string());
    }
    thread_ =
        std::thread([this, name = file.filename().string(), afterRead] { Run(name, afterRead); });
}

FileReads::~FileReads() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
}

void FileReads::Run(const std::string& name, const std::function<void(int)>& afterRead) {
    int reads = 0;
    alignas(inotify_event) char buffer[4096];
    while (!stop_) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0) {
            continue;
        }
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const std::string named = event.len > 0 ? buffer + at + sizeof event : "";
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (named != name) {
                continue;
            }
            if ((event.mask & IN_OPEN) != 0) {
                ++opens_;
            }
            if ((event.mask & IN_CLOSE_NOWRITE) != 0) {
                afterRead(++reads);
            }
        }
    }
}

}  // namespace testsupport
