// A worker child process of the station mode, talked to over pipes: one
// worker per serial port, so a port whose worker crashes takes no other port
// with it. The worker writes event lines on its stdout; stderr goes into the
// same pipe, so a crash message or a sanitizer report reaches the supervisor
// instead of vanishing.
//
// The child runs in a process group of its own: a Ctrl+C typed at the terminal
// reaches only the supervisor, which decides what each worker is told. Several
// workers may be started at once from different threads; no child inherits
// another's pipe ends, or the end of a worker's output would never be seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/NonCopyable.h"

namespace station {

struct WorkerExit {
    bool signalled = false;  // POSIX: ended by a signal (code is the signal number)
    int code = 0;            // exit code, or the signal
};

class WorkerProcess : NonCopyable {
public:
    // A longer line is handed out in pieces of this size.
    static constexpr std::size_t kMaxLine = std::size_t{1} << 20;

    // program: path of the executable (not looked up in PATH); args without
    // argv[0]. The child starts with no signal blocked and SIGINT, SIGTERM and
    // SIGPIPE at their defaults, whatever the calling thread has blocked.
    // Throws std::system_error when the child cannot be started, including a
    // program that does not exist or cannot be executed: the caller learns it
    // here rather than from an exit code a worker could also have produced.
    WorkerProcess(const std::string& program, const std::vector<std::string>& args);
    // A child still running is killed and reaped.
    ~WorkerProcess();

    // Blocking: the next line from the child without its '\n' (and a '\r'
    // before it); std::nullopt once the child's output has ended. A last line
    // without '\n' still comes before the end. For one reader thread.
    std::optional<std::string> ReadLine();
    // Writes the text to the child's stdin, whole; false when the child no
    // longer reads it. Never raises SIGPIPE.
    bool Write(const std::string& text);
    // The child sees the end of its input.
    void CloseInput();
    // Asks the child to stop safely: SIGTERM on POSIX, the cancel line on its
    // input on Windows.
    void Cancel();
    // Ends the child at once: SIGKILL, or TerminateProcess with exit code 1.
    void Kill();
    // Waits for the child to end; later calls return the same. May be called
    // from another thread than ReadLine's, and while Cancel or Kill are used.
    WorkerExit Wait();
    long long Pid() const { return pid_; }

private:
    // Blocking: up to room bytes of the child's output; 0 once it has ended.
    std::size_t ReadOutput(char* into, std::size_t room);
    // Closes what the destructor leaves of the child: its output and, on
    // Windows, the process handle.
    void CloseOutput();
    // A pipe end or handle, if open; -1 after.
    static void CloseEnd(std::intptr_t& end);
    // SIGKILL, or TerminateProcess with exit code 1; under exitMutex_, the
    // child not yet reaped.
    void KillRunning();

    long long pid_ = -1;
    // POSIX: file descriptors; Windows: HANDLEs. -1 / nullptr when closed.
    std::intptr_t input_ = -1;
    std::intptr_t output_ = -1;
    std::intptr_t process_ = 0;  // Windows: the process handle
    std::string pending_;        // read but not yet handed out
    bool outputEnded_ = false;
    std::mutex inputMutex_;
    // Held while the child is signalled or reaped, so a signal never reaches
    // a process id the system has handed on to someone else.
    std::mutex exitMutex_;
    bool reaped_ = false;
    WorkerExit exit_;
};

// The running program's own executable, for starting workers of itself:
// /proc/self/exe resolved on Linux, the module's file name on Windows; argv0
// where neither is known.
std::string OwnExecutablePath(const char* argv0);

}  // namespace station
