#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "ArgumentVector.h"

extern char** environ;

namespace testsupport {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& stdoutFile,
                           const std::filesystem::path& stderrFile,
                           const std::filesystem::path& stdinFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, stdinFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ArgumentVector argv(program, args);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.Data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program);
    }
}

ChildProcess::ChildProcess(pid_t pid) : pid_(pid) {}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool ChildProcess::Running() {
    if (pid_ <= 0) {
        return false;
    }
    if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

int RunInChild(const std::function<int()>& body, std::chrono::milliseconds timeout) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    if (pid < 0) {
        return -1;
    }
    ChildProcess child(pid);
    return child.Wait(timeout);
}

}  // namespace testsupport
