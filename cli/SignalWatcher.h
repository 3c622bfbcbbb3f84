// Ctrl+C (SIGINT) and SIGTERM as events instead of asynchronous handlers: the
// signals are blocked in every thread and a small thread waits for them, so
// the reaction (posting Stop to the view) runs as ordinary code. A second
// signal ends the process at once, for an operator who will not wait.
// On Windows the console's Ctrl+C, Ctrl+Break and close events play the part
// of the signals; the system already delivers them on a thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace cli {

inline constexpr int kInterruptedExitCode = 130;

// What a second signal does: end the process at once, or be told like the
// first (a station cancels its devices safely on the second Ctrl+C).
enum class SecondSignal { EndsProcess, Told };

class SignalWatcher {
public:
    // Blocks the signals in the calling thread, which must be the first one:
    // threads started later inherit the mask.
    explicit SignalWatcher(std::function<void(int)> onFirstSignal,
                           SecondSignal second = SecondSignal::EndsProcess);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Becomes readable with the first signal, for code that waits on input;
    // -1 on Windows, where Ctrl+C itself cuts a console read short.
    int WakeFd() const { return wake_[0]; }

private:
    std::function<void(int)> onFirstSignal_;
    SecondSignal second_;
    int wake_[2] = {-1, -1};
#ifdef _WIN32
    static int __stdcall OnConsoleEvent(unsigned long event);
    std::atomic<int> received_{0};
#else
    void Run();

    std::atomic<bool> stop_{false};
    std::thread thread_;
#endif
};

}  // namespace cli
