// Raised once, from any thread, to end every wait on the line's server that a
// thread is in or will go into. Each client library ends its waits its own
// way: libpq's are on a socket, polled beside a pipe this makes readable;
// ODBC's end by cancelling the statement in progress.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "common/NonCopyable.h"

namespace records {

class StopSignal : NonCopyable {
public:
    StopSignal();
    ~StopSignal();

    void Raise();
    bool Raised() const { return raised_; }

#ifndef _WIN32
    // Readable from the Raise on.
    int Fd() const {
        return pipe_[0];
    }
#endif
    // Called by Raise (at once, when raised already) until cleared with an
    // empty function: the store that waits says here how to end its wait.
    void OnRaise(std::function<void()> cancel);

private:
    // Ends the waits of the client library that waits on a descriptor.
    void WakeWaiters();

    std::atomic<bool> raised_{false};
    std::mutex mutex_;
    std::function<void()> cancel_;
#ifndef _WIN32
    int pipe_[2] = {-1, -1};
#endif
};

}  // namespace records
