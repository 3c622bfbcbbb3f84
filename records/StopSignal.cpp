#include "records/StopSignal.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#endif

namespace records {

StopSignal::StopSignal() {
#ifndef _WIN32
    if (::pipe2(pipe_, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
#endif
}

StopSignal::~StopSignal() {
#ifndef _WIN32
    ::close(pipe_[0]);
    ::close(pipe_[1]);
#endif
}

void StopSignal::Raise() {
    std::lock_guard lock(mutex_);
    if (raised_.exchange(true)) {
        return;
    }
#ifndef _WIN32
    // The pipe stays readable from here on: every later wait ends at once too.
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(pipe_[1], &byte, 1);
#endif
    if (cancel_) {
        cancel_();
    }
}

void StopSignal::OnRaise(std::function<void()> cancel) {
    std::lock_guard lock(mutex_);
    cancel_ = std::move(cancel);
    if (cancel_ && raised_) {
        cancel_();
    }
}

}  // namespace records
