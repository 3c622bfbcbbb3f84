#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <system_error>

#include "cli/SignalWatcher.h"

namespace cli {
namespace {

// The console has one list of handlers for the whole process; the watcher
// that registered last is the one told.
std::atomic<SignalWatcher*> g_watcher{nullptr};

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onFirstSignal, SecondSignal second)
    : onFirstSignal_(std::move(onFirstSignal)), second_(second) {
    g_watcher = this;
    if (!::SetConsoleCtrlHandler(reinterpret_cast<PHANDLER_ROUTINE>(&OnConsoleEvent), TRUE)) {
        g_watcher = nullptr;
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "SetConsoleCtrlHandler");
    }
}

SignalWatcher::~SignalWatcher() {
    ::SetConsoleCtrlHandler(reinterpret_cast<PHANDLER_ROUTINE>(&OnConsoleEvent), FALSE);
    g_watcher = nullptr;
}

int __stdcall SignalWatcher::OnConsoleEvent(unsigned long event) {
    SignalWatcher* watcher = g_watcher.load();
    if (watcher == nullptr) {
        return FALSE;  // the system's default: end the process
    }
    const int signal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    if (++watcher->received_ == 1 || watcher->second_ == SecondSignal::Told) {
        watcher->onFirstSignal_(signal);
        if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT ||
            event == CTRL_SHUTDOWN_EVENT) {
            // The system ends the process as soon as this handler returns;
            // waiting here gives Stop its moment to reach the device.
            ::Sleep(2000);
        }
        return TRUE;
    }
    std::_Exit(kInterruptedExitCode);
}

}  // namespace cli
