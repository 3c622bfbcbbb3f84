#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "records/StopSignal.h"

namespace records {

StopSignal::StopSignal() {
    if (::pipe2(pipe_, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
}

StopSignal::~StopSignal() {
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

// The pipe stays readable from here on: every later wait ends at once too.
void StopSignal::WakeWaiters() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(pipe_[1], &byte, 1);
}

}  // namespace records
