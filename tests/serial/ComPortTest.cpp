// The port layer against real pseudo-terminals: the test plays the device on
// the master side.
#include "serial/ComPort.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "Elapsed.h"
#include "PseudoTerminal.h"
#include "PtyPortTest.h"
#include "TempConfigHome.h"
#include "serial/PortPath.h"
#include "serial/TermiosSettings.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace testsupport;

constexpr ComPortSettings k8N1{115200, 8, 0, 0, kFlowNone};

// Until bytes the device sent have reached the port's input queue.
bool WaitReadable(PortHandle port) {
    pollfd p{port, POLLIN, 0};
    return ::poll(&p, 1, 2000) == 1;
}

// The descriptor the next open would get: unchanged by failed opens unless
// one leaked.
int LowestFreeDescriptor() {
    const int fd = ::dup(0);
    ::close(fd);
    return fd;
}

bool OpensInChildProcess(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(OpenComPort(path.c_str()) == INVALID_HANDLE_VALUE ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class serial_Port : public PtyPortTest {
protected:
    // One ReadComPort call; took_ tells how long it blocked.
    std::string Read(std::uint32_t max) {
        std::string bytes(max, '\0');
        const auto start = Clock::now();
        const std::int32_t n = ReadComPort(port_, bytes.data(), max);
        took_ = Since(start);
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return bytes;
    }
    std::int32_t Write(std::string_view bytes) {
        return WriteComPort(port_, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    void Setup(ComPortSettings settings) { SetupComPortTimed(port_, &settings); }

    milliseconds took_{};
};

TEST_F(serial_Port, TimedReadWaitsForTheCountOrAbout100ms) {
    EXPECT_EQ(Read(16), "");  // never set up: timed too
    EXPECT_GE(took_, 90ms);
    EXPECT_LT(took_, 800ms);
    SetupComPortPolled(port_, &k8N1);
    SetupComPortTimed(port_, &k8N1);
    pty_->Write("xyz");
    EXPECT_EQ(Read(10), "xyz");  // fewer than asked: what came, at the time-out
    EXPECT_GE(took_, 90ms);
    EXPECT_LT(took_, 800ms);

    pty_->Write("abcd");
    ASSERT_TRUE(WaitReadable(port_));
    EXPECT_EQ(Read(4), "abcd");  // the count is in: no waiting
    EXPECT_LT(took_, 90ms);
    pty_->Write("ef");
    std::thread device([&] {
        std::this_thread::sleep_for(30ms);
        pty_->Write("gh");
    });
    EXPECT_EQ(Read(4), "efgh");  // pieces within the window make one read
    device.join();
}

TEST_F(serial_Port, PolledSetupPurgesAndReadsReturnAtOnce) {
    pty_->Write("stale");
    ASSERT_TRUE(WaitReadable(port_));
    SetupComPortPolled(port_, &k8N1);
    EXPECT_EQ(Read(16), "");
    EXPECT_LT(took_, 50ms);
    pty_->Write("hello");
    ASSERT_TRUE(WaitReadable(port_));
    EXPECT_EQ(Read(3), "hel");
    EXPECT_EQ(Read(16), "lo");
    EXPECT_LT(took_, 50ms);
}

TEST(serial_Profiles, AreKeptPerPortAcrossThreads) {
    PseudoTerminal ptys[2];
    milliseconds took[2]{};
    auto readOnce = [&](int i, void (*setup)(PortHandle, const ComPortSettings*)) {
        const PortHandle port = OpenComPort(ptys[i].SlavePath().c_str());
        setup(port, &k8N1);
        char buffer[4];
        const auto start = Clock::now();
        EXPECT_EQ(ReadComPort(port, buffer, sizeof buffer), 0);
        took[i] = Since(start);
        EXPECT_EQ(CloseComPort(port), 1);
    };
    std::thread timed(readOnce, 0, SetupComPortTimed);
    std::thread polled(readOnce, 1, SetupComPortPolled);
    timed.join();
    polled.join();
    EXPECT_GE(took[0], 90ms);
    EXPECT_LT(took[1], 50ms);
}

TEST_F(serial_Port, WriteGivesUpAfterItsTimeOutWhileTheDeviceHoldsItOff) {
    Setup({115200, 8, 0, 0, kFlowSoftware});
    pty_->Write("\x13!");  // once "!" is in, the XOFF before it has been seen
    ASSERT_TRUE(WaitReadable(port_));
    ASSERT_EQ(Read(1), "!");
    const auto start = Clock::now();
    EXPECT_EQ(Write("hello"), 0);
    EXPECT_GE(Since(start), 900ms);  // 1 s + 10 ms per byte
    EXPECT_LT(Since(start), 3000ms);

    pty_->Write("\x11");
    EXPECT_EQ(pty_->ReadFor(50ms), "");
    EXPECT_EQ(Write("ok"), 2);
    EXPECT_EQ(pty_->ReadUntil("ok", 1000ms), "ok");
}

TEST(serial_RawMode, BytesPassUnchangedInBothDirections) {
    PseudoTerminal pty;
    // Leave the line cooked, as a login terminal would be: the open must undo it.
    termios cooked{};
    ASSERT_EQ(::tcgetattr(pty.MasterFd(), &cooked), 0);
    cooked.c_iflag |= ICRNL | INLCR | ISTRIP | IXON;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    ASSERT_EQ(::tcsetattr(pty.MasterFd(), TCSANOW, &cooked), 0);

    const PortHandle port = OpenComPort(pty.SlavePath().c_str());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    std::string every(256, '\0');
    for (std::size_t i = 0; i < every.size(); ++i) {
        every[i] = static_cast<char>(i);
    }
    for (bool setUp : {false, true}) {
        if (setUp) {
            SetupComPortTimed(port, &k8N1);
        }
        pty.Write(every);
        std::string got(256, '\0');
        EXPECT_EQ(ReadComPort(port, got.data(), 256), 256);
        EXPECT_EQ(got, every) << "set up: " << setUp;
        EXPECT_EQ(WriteComPort(port, every.data(), 256), 256);
        // Exactly the bytes written: no echo of what the device sent, no CR added.
        EXPECT_EQ(pty.ReadFor(200ms), every) << "set up: " << setUp;
    }
    EXPECT_EQ(CloseComPort(port), 1);
}

TEST_F(serial_Port, RateAndStopBitsReachTheLine) {
    // 28800 and 250000 have no termios constant; 9600 after them must clear
    // what the arbitrary rate left behind.
    for (auto [baud, stop] : {std::pair{28800u, 0}, {115200u, 2}, {250000u, 1}, {9600u, 0}}) {
        Setup({baud, 8, 0, static_cast<std::uint8_t>(stop), kFlowNone});
        EXPECT_EQ(pty_->Settings().baud, baud);
        EXPECT_EQ(pty_->Settings().stopBits, stop == 0 ? 1 : 2) << baud;
    }
    Setup({0, 8, 0, 0, kFlowNone});  // as a termios rate, 0 would hang the line up
    EXPECT_EQ(pty_->Settings().baud, 9600u);
}

// Pseudo-terminals force 8 data bits without parity, so framing is checked on
// the termios a set-up writes.
TEST(serial_Termios, FramingAndParitySetOnlyTheirOwnBits) {
    struct Case {
        std::uint8_t data, parity, stop;
        tcflag_t size, parityBits;
    };
    const Case cases[] = {
        {8, 0, 0, CS8, 0},
        {7, 2, 2, CS7, PARENB},
        {7, 1, 0, CS7, PARENB | PARODD},
        {5, 0, 1, CS5, 0},
        {8, 3, 0, CS8, PARENB | PARODD | CMSPAR},
        {6, 4, 2, CS6, PARENB | CMSPAR},
        {9, 5, 3, CS6, PARENB | CMSPAR},  // out of range: kept from before
    };
    const tcflag_t inputChecks = INPCK | IGNPAR | PARMRK;
    termios t{};
    t.c_iflag = inputChecks;
    t.c_cflag = CS8 | CREAD | CLOCAL | CRTSCTS;
    for (const Case& c : cases) {
        serial::detail::ApplyLineSettings(t, {9600, c.data, c.parity, c.stop, 7});
        EXPECT_EQ(t.c_cflag & CSIZE, c.size) << int{c.data};
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits) << int{c.parity};
        EXPECT_EQ(t.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR | CBAUD),
                  static_cast<tcflag_t>(CREAD | CLOCAL | CRTSCTS | (c.stop == 0 ? 0 : CSTOPB)));
        EXPECT_EQ(t.c_iflag, inputChecks);
    }
}

TEST_F(serial_Port, FlowControlChangesOnlyItsOwnBits) {
    struct Step {
        std::uint8_t flow;
        bool rtsCts, xonXoff;
    };
    const Step steps[] = {
        {kFlowSoftware, false, true},
        {kFlowHardware, true, true},  // XON/XOFF kept
        {kFlowNone, false, false},
        {kFlowHardware, true, false},
        {kFlowSoftware, true, true},  // RTS/CTS kept
        {7, true, true},
        {kFlowNone, false, false},
        {7, false, false},
    };
    for (const Step& s : steps) {
        Setup({9600, 8, 0, 0, s.flow});
        EXPECT_EQ(pty_->Settings().rtsCts, s.rtsCts) << "flow " << int{s.flow};
        EXPECT_EQ(pty_->Settings().xonXoff, s.xonXoff) << "flow " << int{s.flow};
    }
}

TEST_F(serial_Port, IsHeldExclusivelyUntilClosed) {
    Setup({28800, 8, 0, 2, kFlowSoftware});
    const int freeBefore = LowestFreeDescriptor();
    EXPECT_EQ(OpenComPort(pty_->SlavePath().c_str()), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(OpensInChildProcess(pty_->SlavePath()));
    EXPECT_EQ(LowestFreeDescriptor(), freeBefore);
    // The losers left the line alone (their raw mode would have cleared IXON).
    EXPECT_EQ(pty_->Settings().baud, 28800u);
    EXPECT_TRUE(pty_->Settings().xonXoff);

    EXPECT_EQ(CloseComPort(port_), 1);
    port_ = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(OpensInChildProcess(pty_->SlavePath()));
    port_ = OpenComPort(pty_->SlavePath().c_str());
    EXPECT_NE(port_, INVALID_HANDLE_VALUE);
}

TEST(serial_Open, FailsWithoutLeakingForWhatIsNotAPort) {
    testsupport::TempConfigHome home;  // no links: COM255 reaches nothing
    const std::string plainFile = (home.Path() / "plain").string();
    std::ofstream(plainFile) << "not a terminal";
    const int freeBefore = LowestFreeDescriptor();
    for (const char* path : {"", "/nonexistent/ttyUSB0", plainFile.c_str(), "\\\\.\\COM255"}) {
        EXPECT_EQ(OpenComPort(path), INVALID_HANDLE_VALUE) << path;
    }
    EXPECT_EQ(OpenComPort(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LowestFreeDescriptor(), freeBefore);
}

TEST(serial_Open, ComNumbersAboveNineUseTheSamePathForm) {
    testsupport::TempConfigHome home;
    PseudoTerminal com12;
    PseudoTerminal com255;
    ASSERT_TRUE(serial::RegisterComPort(12, com12.SlavePath(), nullptr));
    ASSERT_TRUE(serial::RegisterComPort(255, com255.SlavePath(), nullptr));
    for (auto [path, pty] : {std::pair{"\\\\.\\COM12", &com12}, {"\\\\.\\COM255", &com255}}) {
        const PortHandle port = OpenComPort(path);
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << path;
        // Through the link or by its own name, it is one device, held once.
        EXPECT_EQ(OpenComPort(pty->SlavePath().c_str()), INVALID_HANDLE_VALUE) << path;
        const auto length = static_cast<std::uint32_t>(std::strlen(path));
        EXPECT_EQ(WriteComPort(port, path, length), static_cast<std::int32_t>(length));
        EXPECT_EQ(pty->ReadUntil(path, 1000ms), path);
        EXPECT_EQ(CloseComPort(port), 1);
    }
}

TEST_F(serial_Port, DegenerateCallsReturnZeroAtOnce) {
    char byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(ReadComPort(port_, &byte, 0), 0);
    EXPECT_EQ(WriteComPort(port_, &byte, 0), 0);
    EXPECT_EQ(ReadComPort(INVALID_HANDLE_VALUE, &byte, 1), 0);
    EXPECT_EQ(WriteComPort(INVALID_HANDLE_VALUE, &byte, 1), 0);
    SetupComPortPolled(INVALID_HANDLE_VALUE, &k8N1);
    EXPECT_EQ(CloseComPort(INVALID_HANDLE_VALUE), 0);
    EXPECT_LT(Since(start), 50ms);
}

TEST_F(serial_Port, SurvivesTheDeviceHangingUp) {
    pty_.reset();
    EXPECT_EQ(Read(16), "");
    EXPECT_LT(took_, 800ms);
    EXPECT_EQ(Write("x"), 0);
    // TearDown checks that the port still closes cleanly.
}

// WaitComPortInput must wake for a byte at once and otherwise take the
// time-out it was given, whatever state the port is in.
TEST(serial_WaitInput, WakesForAByteAndLeavesItToTheRead) {
    PseudoTerminal pty;
    const PortHandle port = OpenComPort(pty.SlavePath().c_str());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetupComPortPolled(port, &k8N1);

    std::thread device([&] {
        std::this_thread::sleep_for(50ms);
        pty.Write("A");
    });
    auto start = Clock::now();
    EXPECT_TRUE(WaitComPortInput(port, 5000));
    EXPECT_LT(Since(start), 2500ms);  // woken by the byte, not by the time-out
    device.join();

    // Input already waiting: true again, and the byte is still there to read.
    start = Clock::now();
    EXPECT_TRUE(WaitComPortInput(port, 5000));
    EXPECT_LT(Since(start), 2500ms);
    char byte = 0;
    EXPECT_EQ(ReadComPort(port, &byte, 1), 1);
    EXPECT_EQ(byte, 'A');

    start = Clock::now();
    EXPECT_FALSE(WaitComPortInput(port, 100));
    EXPECT_GE(Since(start), 100ms);
    EXPECT_EQ(CloseComPort(port), 1);
}

TEST(serial_WaitInput, TakesTheWholeTimeOutWhenThePortCannotBeWaitedOn) {
    auto start = Clock::now();
    EXPECT_FALSE(WaitComPortInput(INVALID_HANDLE_VALUE, 100));
    EXPECT_GE(Since(start), 100ms);

    // A hung-up line polls as ready at once; a polling reader must not spin.
    PortHandle port = INVALID_HANDLE_VALUE;
    {
        PseudoTerminal pty;
        port = OpenComPort(pty.SlavePath().c_str());
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        SetupComPortPolled(port, &k8N1);
    }
    start = Clock::now();
    EXPECT_FALSE(WaitComPortInput(port, 100));
    EXPECT_GE(Since(start), 100ms);
    CloseComPort(port);
}

}  // namespace
