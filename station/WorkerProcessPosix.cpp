#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

#include "common/NonCopyable.h"
#include "common/StopSignals.h"
#include "station/WorkerProcess.h"

extern char** environ;

namespace station {
namespace {

[[noreturn]] void ThrowErrno(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

// Owns the spawn attributes for the length of one start.
struct SpawnSetup : NonCopyable {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
};

WorkerExit FromStatus(int status) {
    WorkerExit result;
    if (WIFSIGNALED(status)) {
        result.signalled = true;
        result.code = WTERMSIG(status);
    } else if (WIFEXITED(status)) {
        result.code = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace

WorkerProcess::WorkerProcess(const std::string& program, const std::vector<std::string>& args) {
    // A program that cannot run would otherwise surface as exit code 127,
    // which a worker may also return on its own.
    if (::access(program.c_str(), X_OK) != 0) {
        ThrowErrno(errno, "cannot run " + program);
    }
    // Close-on-exec from the start: a worker started by another thread at the
    // same moment must not inherit these ends, or this worker's end of output
    // would wait for that one to finish too.
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0) {
        ThrowErrno(errno, "pipe2");
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(in[0]);
        ::close(in[1]);
        ThrowErrno(error, "pipe2");
    }
    input_ = in[1];
    output_ = out[0];

    SpawnSetup setup;
    // dup2 clears close-on-exec on the copies, so the child keeps exactly these three.
    posix_spawn_file_actions_adddup2(&setup.actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, out[1], STDERR_FILENO);
    // The supervisor blocks SIGINT and SIGTERM in all its threads and ignores
    // SIGPIPE; a worker inheriting that could not be cancelled.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults = StopSignalSet();
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(
        &setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    int error = 0;
    do {
        error = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(),
                              environ);
    } while (error == EINTR);
    ::close(in[0]);
    ::close(out[1]);
    if (error != 0) {
        CloseEnd(input_);
        CloseEnd(output_);
        ThrowErrno(error, "cannot run " + program);
    }
    pid_ = pid;
}

void WorkerProcess::CloseEnd(std::intptr_t& fd) {
    if (fd >= 0) {
        ::close(static_cast<int>(fd));
        fd = -1;
    }
}

void WorkerProcess::CloseOutput() {
    CloseEnd(output_);
}

std::size_t WorkerProcess::ReadOutput(char* into, std::size_t room) {
    ssize_t got = -1;
    do {
        got = ::read(static_cast<int>(output_), into, room);
    } while (got < 0 && errno == EINTR);
    return static_cast<std::size_t>(got > 0 ? got : 0);
}

bool WorkerProcess::Write(const std::string& text) {
    std::lock_guard lock(inputMutex_);
    if (input_ < 0) {
        return false;
    }
    // SIGPIPE is held back in this thread for the write, and one it caused is
    // taken off again, so a worker gone away costs us only a false.
    sigset_t pipeSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool alreadyPending = sigismember(&pendingBefore, SIGPIPE) == 1;
    sigset_t saved;
    pthread_sigmask(SIG_BLOCK, &pipeSet, &saved);

    bool ok = true;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(static_cast<int>(input_), text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EPIPE && !alreadyPending) {
                const timespec zero{0, 0};
                while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
                }
            }
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return ok;
}

void WorkerProcess::Cancel() {
    std::lock_guard lock(exitMutex_);
    if (!reaped_) {
        ::kill(static_cast<pid_t>(pid_), SIGTERM);
    }
}

void WorkerProcess::KillRunning() {
    ::kill(static_cast<pid_t>(pid_), SIGKILL);
}

WorkerExit WorkerProcess::Wait() {
    {
        std::lock_guard lock(exitMutex_);
        if (reaped_) {
            return exit_;
        }
    }
    // Wait for the end without reaping: the child stays a zombie, its id
    // still ours, until the lock below is held and Cancel or Kill can no
    // longer be in the middle of signalling it.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
    std::lock_guard lock(exitMutex_);
    if (!reaped_) {
        int status = 0;
        pid_t got = -1;
        do {
            got = ::waitpid(static_cast<pid_t>(pid_), &status, 0);
        } while (got < 0 && errno == EINTR);
        exit_ = got == static_cast<pid_t>(pid_) ? FromStatus(status) : WorkerExit{false, -1};
        reaped_ = true;
    }
    return exit_;
}

std::string OwnExecutablePath(const char* argv0) {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    if (n > 0 && static_cast<std::size_t>(n) < sizeof path) {
        return std::string(path, static_cast<std::size_t>(n));
    }
    return argv0 != nullptr ? argv0 : "";
}

}  // namespace station
