// kavrel-sim as a child process, for tests that need a device on the line.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "TempDir.h"

namespace testsupport {

// kavrel-sim with pipes on stdin and stdout; the constructor returns once the
// simulator has printed its pty's path.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& PtyPath() const { return ptyPath_; }
    // A line on the simulator's stdin (power commands).
    bool Tell(std::string_view line);
    // Sends the signal and returns the exit status, or -1 if it did not end.
    int Stop(int signal = 15);

private:
    std::string ReadLine();

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string ptyPath_;
};

}  // namespace testsupport
