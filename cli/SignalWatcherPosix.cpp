#include "cli/SignalWatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

#include "common/StopSignals.h"

namespace cli {

SignalWatcher::SignalWatcher(std::function<void(int)> onFirstSignal, SecondSignal second)
    : onFirstSignal_(std::move(onFirstSignal)), second_(second) {
    const sigset_t set = StopSignalSet();
    if (int rc = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); rc != 0) {
        throw std::system_error(rc, std::generic_category(), "pthread_sigmask");
    }
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    thread_ = std::thread([this] { Run(); });
}

SignalWatcher::~SignalWatcher() {
    stop_ = true;
    thread_.join();
    // The signals stay blocked: one that comes this late must not turn a
    // finished run into a killed one.
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void SignalWatcher::Run() {
    const sigset_t set = StopSignalSet();
    int received = 0;
    while (!stop_) {
        // A short wait, so the destructor never waits long for the thread.
        const timespec slice{0, 100 * 1000 * 1000};
        const int signal = ::sigtimedwait(&set, nullptr, &slice);
        if (signal < 0) {
            continue;
        }
        if (++received == 1 || second_ == SecondSignal::Told) {
            const char byte = 1;
            [[maybe_unused]] ssize_t n = ::write(wake_[1], &byte, 1);
            onFirstSignal_(signal);
        } else {
            ::_exit(kInterruptedExitCode);
        }
    }
}

}  // namespace cli
