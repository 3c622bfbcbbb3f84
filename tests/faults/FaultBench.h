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
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Workbench.h"
#include "res/ResourceIds.h"

extern char** environ;

namespace faults {

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The values the simulator keeps in its --state file, by item number.
inline std::map<int, std::string> StoredValues(const std::filesystem::path& state) {
    std::map<int, std::string> values;
    std::istringstream in(ReadAll(state));
    std::string line;
    while (std::getline(in, line)) {
        auto first = line.find(',');
        auto second = first == std::string::npos ? first : line.find(',', first + 1);
        if (second != std::string::npos) {
            values[std::stoi(line.substr(0, first))] = line.substr(second + 1);
        }
    }
    return values;
}

// The items the device stored, in order, from its events log.
inline std::vector<int> StoredItems(const testsupport::Workbench& bench) {
    std::vector<int> items;
    for (const auto& e : bench.Events("set")) {
        items.push_back(e.value("item", 0));
    }
    return items;
}

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

// Waits for something outside the view (the simulator's events log): the
// loop only looks at its condition when something happens in it, so pump it
// in short slices.
inline bool WaitFor(testsupport::Workbench& bench, const std::function<bool()>& done,
                    std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        bench.RunUntil([] { return false; }, std::chrono::milliseconds(50));
    }
    return true;
}

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
