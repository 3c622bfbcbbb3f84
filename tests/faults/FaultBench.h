// What every fault test checks after the fault: the device's own record of
// what it stored, the image it kept, and that the tool did not spin while the
// line was dead.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Workbench.h"
#include "res/ResourceIds.h"

extern char** environ;

namespace faults {

// The share of one core the test process used between construction and
// Share(): a loop retrying a dead line at full speed shows as close to 1.
class CpuWatch {
public:
    CpuWatch() : wall_(std::chrono::steady_clock::now()), cpu_(std::clock()) {}
    double Share() const {
        const double cpu = static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
        return wall > 0 ? cpu / wall : 0;
    }

private:
    std::chrono::steady_clock::time_point wall_;
    std::clock_t cpu_;
};

// Stop, as the operator presses it after any failure: the view ends Idle with
// the port closed.
inline bool StopEndsIdle(testsupport::Workbench& bench) {
    bench.Command(res::ID_STOP_CONFIG);
    return bench.view.m_nConnectState == kStateIdle &&
           bench.view.m_hComPort == INVALID_HANDLE_VALUE;
}

#ifdef TIRVELCTL_PATH
// Exit status of tirvelctl (stdin from /dev/null), or -1 when it had to be
// killed at the time-out.
inline int RunTirvelctl(const std::vector<std::string>& args, const std::filesystem::path& out,
                        const std::filesystem::path& err, std::chrono::seconds timeout) {
    try {
        testsupport::ChildProcess tirvelctl(TIRVELCTL_PATH, args, out, err);
        return tirvelctl.Wait(timeout);
    } catch (const std::runtime_error&) {
        return -2;
    }
}
#endif

}  // namespace faults
