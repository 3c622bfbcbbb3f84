// A program the tests start and watch from outside: stdin is /dev/null (no
// terminal) or a file, stdout and stderr go to files.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& stdoutFile, const std::filesystem::path& stderrFile,
                 const std::filesystem::path& stdinFile = "/dev/null");
    // A child still running is killed: a failed test leaves nothing behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running();
    // The exit code, 128 + signal for a killed child; -1 when it was still
    // running at the time-out (and has been killed since).
    int Wait(std::chrono::milliseconds timeout = std::chrono::hours(24));
    void Signal(int signal);

private:
    friend int RunInChild(const std::function<int()>& body, std::chrono::milliseconds timeout);
    explicit ChildProcess(pid_t pid);

    pid_t pid_ = -1;
    int status_ = 0;
};

// Runs body in a forked copy of this process and returns what it returned
// (0-255), or -1 when it had not returned within the time (it is killed then).
// For code that must not wait for ever, tried where a wait cannot hold the
// test: only from a test with no other threads running.
int RunInChild(const std::function<int()>& body, std::chrono::milliseconds timeout);

}  // namespace testsupport
