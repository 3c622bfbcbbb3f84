// A portable message loop for the hosts that have no toolkit loop of their own
// (tirvelctl, the tests): posted messages in order, from any thread, and window
// timers that fire like the desktop's, only when no posted message waits and
// without piling up.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "common/Win.h"

namespace fw {

class CWnd;

class CMessageLoop {
public:
    using Clock = std::chrono::steady_clock;

    // Any thread.
    void Post(CWnd* target, UINT message, WPARAM wParam, LPARAM lParam);
    void Quit(int exitCode);

    // Returns the ID; setting an existing ID of the same window restarts it.
    UINT SetTimer(CWnd* target, UINT id, UINT periodMs);
    bool KillTimer(CWnd* target, UINT id);
    bool HasTimer(CWnd* target, UINT id) const;
    // Drops everything queued for a window that goes away.
    void Forget(CWnd* target);

    // Delivers at most one message, waiting for one until the deadline.
    bool PumpOne(Clock::time_point deadline);
    // Pumps until done() holds or the time-out passes; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void RunFor(std::chrono::milliseconds duration);
    // Pumps until Quit; returns its exit code.
    int Run();
    bool QuitRequested() const;

private:
    struct Posted {
        CWnd* target;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    struct Timer {
        CWnd* target;
        UINT id;
        std::chrono::milliseconds period;
        Clock::time_point due;
    };

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Posted> queue_;
    std::vector<Timer> timers_;
    bool quit_ = false;
    int exitCode_ = 0;
};

}  // namespace fw
