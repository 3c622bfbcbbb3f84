// Ctrl+C (SIGINT) and SIGTERM as events instead of asynchronous handlers: the
// signals are blocked in every thread and a small thread waits for them, so
// the reaction (posting Stop to the view) runs as ordinary code. A second
// signal ends the process at once, for an operator who will not wait.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace cli {

inline constexpr int kInterruptedExitCode = 130;

class SignalWatcher {
public:
    // Blocks the signals in the calling thread, which must be the first one:
    // threads started later inherit the mask.
    explicit SignalWatcher(std::function<void(int)> onFirstSignal);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Becomes readable with the first signal, for code that waits on input.
    int WakeFd() const { return wake_[0]; }

private:
    void Run();

    std::function<void(int)> onFirstSignal_;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace cli
