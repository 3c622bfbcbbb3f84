// Ctrl+C on a Windows console: the first one reaches the watcher's callback
// instead of ending the process, as SIGINT does on Linux.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "cli/SignalWatcher.h"

namespace {

TEST(ConsoleInterrupt, FirstCtrlCReachesTheWatcher) {
    // A program run from a pipe has no console to send the event to.
    if (GetConsoleWindow() == nullptr && !AllocConsole()) {
        GTEST_SKIP() << "no console to press Ctrl+C in";
    }
    // Ctrl+C may be switched off for the process; a console program starts with it on.
    SetConsoleCtrlHandler(nullptr, FALSE);
    std::atomic<int> signal{0};
    cli::SignalWatcher watcher([&](int s) { signal = s; });
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        GTEST_SKIP() << "this console cannot raise Ctrl+C (error " << GetLastError() << ")";
    }
    for (int i = 0; i < 500 && signal == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(signal, SIGINT);
}

}  // namespace
