// Why a port did not open: a port another program holds, a device the user may
// not open, a path with nothing behind it, a file that is no terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "PseudoTerminal.h"
#include "SimProcess.h"
#include "serial/ComPort.h"

namespace {

TEST(OpenFailure, ErrorNumbersSayWhatTheOperatorCanDo) {
    EXPECT_EQ(ClassifyOpenError(0), OpenFailure::kNone);
    EXPECT_EQ(ClassifyOpenError(EACCES), OpenFailure::kPermission);
    EXPECT_EQ(ClassifyOpenError(EPERM), OpenFailure::kPermission);
    EXPECT_EQ(ClassifyOpenError(EBUSY), OpenFailure::kInUse);
    EXPECT_EQ(ClassifyOpenError(EWOULDBLOCK), OpenFailure::kInUse);
    EXPECT_EQ(ClassifyOpenError(ENOENT), OpenFailure::kNoDevice);
    EXPECT_EQ(ClassifyOpenError(ENXIO), OpenFailure::kNoDevice);
    EXPECT_EQ(ClassifyOpenError(ENOTTY), OpenFailure::kOther);
    EXPECT_EQ(ClassifyOpenError(EIO), OpenFailure::kOther);
}

TEST(OpenFailure, HeldByAnotherProgram) {
    testsupport::PseudoTerminal pty;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other program: holds the port until the test ends it.
        ::close(ready[0]);
        const PortHandle held = OpenComPort(pty.SlavePath().c_str());
        const char ok = held != INVALID_HANDLE_VALUE ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        for (;;) {
            ::pause();
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');

    const PortHandle second = OpenComPort(pty.SlavePath().c_str());
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kInUse);
    CloseComPort(second);

    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    // Released with the other program's end; a success clears the reason.
    const PortHandle port = OpenComPort(pty.SlavePath().c_str());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kNone);
    CloseComPort(port);
}

TEST(OpenFailure, MissingPathsAndFilesThatAreNoPort) {
    testsupport::TempDir dir;
    EXPECT_EQ(OpenComPort((dir.Path() / "ttyUSB9").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kNoDevice);
    EXPECT_EQ(OpenComPort(""), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kNoDevice);
    EXPECT_EQ(OpenComPort(dir.Path().c_str()), INVALID_HANDLE_VALUE);  // a directory
    EXPECT_NE(LastOpenComPortFailure(), OpenFailure::kNone);
    EXPECT_EQ(OpenComPort("/dev/null"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kOther);
}

TEST(OpenFailure, TheReasonBelongsToTheThreadThatOpened) {
    EXPECT_EQ(OpenComPort("/dev/null"), INVALID_HANDLE_VALUE);
    OpenFailure seen = OpenFailure::kOther;
    std::thread([&] { seen = LastOpenComPortFailure(); }).join();
    EXPECT_EQ(seen, OpenFailure::kNone);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kOther);
}

// Run as root, the attempt is made by a child that has become "nobody".
TEST(OpenFailure, ADeviceTheUserMayNotOpen) {
    testsupport::PseudoTerminal pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        const bool refused = OpenComPort(pty.SlavePath().c_str()) == INVALID_HANDLE_VALUE;
        ::_exit(!refused ? 1 : LastOpenComPortFailure() == OpenFailure::kPermission ? 0 : 2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(pty.SlavePath().c_str(), 0620);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) {
        GTEST_SKIP() << "running as root without the right to become another user";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened anyway, 2: another reason";
}

}  // namespace
