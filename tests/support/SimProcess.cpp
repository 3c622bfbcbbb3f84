#include "SimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "ArgumentVector.h"

extern char** environ;

namespace testsupport {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("pipe");
    }
    ArgumentVector argv(KAVREL_SIM_PATH, args);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // A test that dies without its destructor must not leave the simulator
        // holding the test runner's output open: ctest would wait on it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::execve(KAVREL_SIM_PATH, argv.Data(), environ);
        ::_exit(127);
    }
    const int rc = pid_ > 0 ? 0 : errno;
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        ::close(stdin_);
        ::close(stdout_);
        throw std::runtime_error("fork failed");
    }
    ptyPath_ = ReadLine();
    if (ptyPath_.empty()) {
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        ::close(stdin_);
        ::close(stdout_);
        throw std::runtime_error("kavrel-sim did not start (see its message above)");
    }
}

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(stdin_);
    ::close(stdout_);
}

bool SimProcess::Tell(std::string_view line) {
    std::string s(line);
    s += '\n';
    return ::write(stdin_, s.data(), s.size()) == static_cast<ssize_t>(s.size());
}

int SimProcess::Stop(int signal) {
    ::kill(pid_, signal);
    auto deadline = Clock::now() + milliseconds(5000);
    int status = 0;
    while (Clock::now() < deadline) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    return -1;
}

// A simulator that never prints its path fails the test by ctest's time-out.
std::string SimProcess::ReadLine() {
    std::string line;
    char c;
    while (::read(stdout_, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

}  // namespace testsupport
