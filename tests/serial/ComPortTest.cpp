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

#include "PseudoTerminal.h"
#include "TempConfigHome.h"
#include "serial/PortPath.h"
#include "serial/TermiosSettings.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::PseudoTerminal;

constexpr ComPortSettings k8N1{115200, 8, 0, 0, kFlowNone};

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// Until bytes the device sent have reached the port's input queue.
bool WaitReadable(PortHandle port) {
    pollfd p{port, POLLIN, 0};
    return ::poll(&p, 1, 2000) == 1;
}

// The descriptor the next open would get: unchanged across failed opens
// unless one leaked.
int LowestFreeDescriptor() {
    const int fd = ::dup(0);
    ::close(fd);
    return fd;
}

// Whether a separate process can open the port now.
bool OpensInChildProcess(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(OpenComPort(path.c_str()) == INVALID_HANDLE_VALUE ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class serial_Port : public ::testing::Test {
protected:
    void SetUp() override {
        pty_ = std::make_unique<PseudoTerminal>();
        port_ = OpenComPort(pty_->SlavePath().c_str());
        ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (port_ != INVALID_HANDLE_VALUE) {
            EXPECT_EQ(CloseComPort(port_), 1);
        }
    }

    std::string Read(std::uint32_t max, std::chrono::milliseconds* took = nullptr) {
        std::string bytes(max, '\0');
        const auto start = Clock::now();
        const std::int32_t n = ReadComPort(port_, bytes.data(), max);
        if (took != nullptr) {
            *took = Since(start);
        }
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return bytes;
    }
    std::int32_t Write(std::string_view bytes) {
        return WriteComPort(port_, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    void Setup(std::uint32_t baud, std::uint8_t data, std::uint8_t parity, std::uint8_t stop,
               std::uint8_t flow) {
        const ComPortSettings s{baud, data, parity, stop, flow};
        SetupComPortTimed(port_, &s);
    }

    std::unique_ptr<PseudoTerminal> pty_;
    PortHandle port_ = INVALID_HANDLE_VALUE;
};

// --- Read time-outs --------------------------------------------------------

TEST_F(serial_Port, TimedReadOfNothingReturnsEmptyAfterAboutTheTimeout) {
    auto expectTimedOut = [&](const char* when) {
        std::chrono::milliseconds took{};
        EXPECT_EQ(Read(16, &took), "") << when;
        EXPECT_GE(took, 90ms) << when;
        EXPECT_LT(took, 800ms) << when;
    };
    expectTimedOut("never set up");
    SetupComPortTimed(port_, &k8N1);
    expectTimedOut("timed");
    SetupComPortPolled(port_, &k8N1);
    SetupComPortTimed(port_, &k8N1);
    expectTimedOut("timed again after polled");
}

TEST_F(serial_Port, TimedReadReturnsOnceTheRequestedCountArrived) {
    SetupComPortTimed(port_, &k8N1);
    pty_->Write("abcd");
    ASSERT_TRUE(WaitReadable(port_));
    std::chrono::milliseconds took{};
    EXPECT_EQ(Read(4, &took), "abcd");
    EXPECT_LT(took, 90ms);

    // Pieces arriving within the window make up one read.
    pty_->Write("ef");
    std::thread device([&] {
        std::this_thread::sleep_for(30ms);
        pty_->Write("gh");
    });
    EXPECT_EQ(Read(4), "efgh");
    device.join();
}

TEST_F(serial_Port, TimedReadReturnsWhatArrivedWhenFewerCame) {
    SetupComPortTimed(port_, &k8N1);
    pty_->Write("xyz");
    std::chrono::milliseconds took{};
    EXPECT_EQ(Read(10, &took), "xyz");
    EXPECT_GE(took, 90ms);
    EXPECT_LT(took, 800ms);
}

TEST_F(serial_Port, PolledReadReturnsAtOnceWithWhatIsBuffered) {
    SetupComPortPolled(port_, &k8N1);
    std::chrono::milliseconds took{};
    EXPECT_EQ(Read(16, &took), "");
    EXPECT_LT(took, 50ms);
    pty_->Write("hello");
    ASSERT_TRUE(WaitReadable(port_));
    EXPECT_EQ(Read(3, &took), "hel");
    EXPECT_LT(took, 50ms);
    EXPECT_EQ(Read(16, &took), "lo");
    EXPECT_LT(took, 50ms);
}

TEST(serial_Profiles, AreKeptPerPortAcrossThreads) {
    PseudoTerminal timedPty;
    PseudoTerminal polledPty;
    const PortHandle timed = OpenComPort(timedPty.SlavePath().c_str());
    const PortHandle polled = OpenComPort(polledPty.SlavePath().c_str());
    ASSERT_NE(timed, INVALID_HANDLE_VALUE);
    ASSERT_NE(polled, INVALID_HANDLE_VALUE);
    auto readOnce = [](PortHandle port, auto setup, std::chrono::milliseconds* took) {
        setup(port, &k8N1);
        char buffer[4];
        const auto start = Clock::now();
        EXPECT_EQ(ReadComPort(port, buffer, sizeof buffer), 0);
        *took = Since(start);
    };
    std::chrono::milliseconds timedTook{};
    std::chrono::milliseconds polledTook{};
    std::thread a(readOnce, timed, SetupComPortTimed, &timedTook);
    std::thread b(readOnce, polled, SetupComPortPolled, &polledTook);
    a.join();
    b.join();
    EXPECT_GE(timedTook, 90ms);
    EXPECT_LT(polledTook, 50ms);
    EXPECT_EQ(CloseComPort(timed), 1);
    EXPECT_EQ(CloseComPort(polled), 1);
}

// --- Writes ------------------------------------------------------------------

TEST_F(serial_Port, WriteGivesUpAfterItsTimeOutWhileTheDeviceHoldsItOff) {
    Setup(115200, 8, 0, 0, kFlowSoftware);
    // The byte after XOFF shows when the line discipline has seen the XOFF.
    pty_->Write("\x13!");
    ASSERT_TRUE(WaitReadable(port_));
    ASSERT_EQ(Read(1), "!");

    const auto start = Clock::now();
    EXPECT_EQ(Write("hello"), 0);
    const auto took = Since(start);
    EXPECT_GE(took, 900ms);  // 1 s + 10 ms per byte
    EXPECT_LT(took, 3000ms);

    pty_->Write("\x11");
    EXPECT_EQ(pty_->ReadFor(50ms), "");
    EXPECT_EQ(Write("ok"), 2);
    EXPECT_EQ(pty_->ReadUntil("ok", 1000ms), "ok");
}

// --- Line settings -----------------------------------------------------------

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
    EXPECT_TRUE(pty.Settings().raw);
    std::string every(256, '\0');
    for (int i = 0; i < 256; ++i) {
        every[static_cast<std::size_t>(i)] = static_cast<char>(i);
    }
    for (const char* when : {"after open", "after set-up without flow control"}) {
        if (std::strcmp(when, "after open") != 0) {
            SetupComPortTimed(port, &k8N1);
        }
        pty.Write(every);
        std::string got(256, '\0');
        EXPECT_EQ(ReadComPort(port, got.data(), 256), 256) << when;
        EXPECT_EQ(got, every) << when;
        EXPECT_EQ(WriteComPort(port, every.data(), 256), 256) << when;
        // Exactly the bytes written: no echo of what the device sent, no CR added.
        EXPECT_EQ(pty.ReadFor(200ms), every) << when;
    }
    EXPECT_EQ(CloseComPort(port), 1);
}

TEST_F(serial_Port, RateAndStopBitsReachTheLine) {
    // 28800 and 250000 have no termios constant; 9600 after them must clear
    // what the arbitrary rate left behind.
    const std::pair<std::uint32_t, std::uint8_t> cases[] = {
        {28800, 0}, {115200, 2}, {250000, 1}, {9600, 0}};
    for (const auto& [baud, stop] : cases) {
        Setup(baud, 8, 0, stop, kFlowNone);
        EXPECT_EQ(pty_->Settings().baud, baud);
        EXPECT_EQ(pty_->Settings().stopBits, stop == 0 ? 1 : 2) << baud;
    }
    // 0 keeps the rate: as a termios rate it would hang the line up.
    Setup(0, 8, 0, 0, kFlowNone);
    EXPECT_EQ(pty_->Settings().baud, 9600u);
}

// Pseudo-terminals force 8 data bits without parity, so the mapping is checked
// on the termios a set-up writes.
TEST(serial_Termios, FramingAndParitySetOnlyTheirOwnBits) {
    struct Case {
        std::uint8_t data, parity, stop;
        tcflag_t size, parityBits;
        bool twoStopBits;
    };
    const Case cases[] = {
        {8, 0, 0, CS8, 0, false},
        {7, 2, 2, CS7, PARENB, true},
        {7, 1, 0, CS7, PARENB | PARODD, false},
        {8, 3, 0, CS8, PARENB | PARODD | CMSPAR, false},
        {8, 4, 1, CS8, PARENB | CMSPAR, true},
        {5, 0, 0, CS5, 0, false},
        {6, 2, 0, CS6, PARENB, false},
        {9, 5, 3, CS6, PARENB, false},  // out of range: kept from before
    };
    const tcflag_t inputChecks = INPCK | IGNPAR | PARMRK;
    termios t{};
    t.c_iflag = inputChecks;
    t.c_cflag = CS8 | CREAD | CLOCAL | CRTSCTS;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int{c.data} << "/" << int{c.parity} << "/" << int{c.stop});
        serial::detail::ApplyLineSettings(t, ComPortSettings{9600, c.data, c.parity, c.stop, 7});
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStopBits);
        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL | CRTSCTS), CREAD | CLOCAL | CRTSCTS);
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
        Setup(9600, 8, 0, 0, s.flow);
        const auto line = pty_->Settings();
        EXPECT_EQ(line.rtsCts, s.rtsCts) << "flow " << int{s.flow};
        EXPECT_EQ(line.xonXoff, s.xonXoff) << "flow " << int{s.flow};
    }
}

TEST_F(serial_Port, SetupDiscardsWhatArrivedBefore) {
    pty_->Write("stale");
    ASSERT_TRUE(WaitReadable(port_));
    SetupComPortPolled(port_, &k8N1);
    EXPECT_EQ(Read(16), "");
    pty_->Write("fresh");
    ASSERT_TRUE(WaitReadable(port_));
    EXPECT_EQ(Read(16), "fresh");
}

// --- Opening and closing -------------------------------------------------------

TEST_F(serial_Port, IsHeldExclusivelyUntilClosed) {
    Setup(28800, 8, 0, 2, kFlowSoftware);
    const int freeBefore = LowestFreeDescriptor();
    EXPECT_EQ(OpenComPort(pty_->SlavePath().c_str()), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(OpensInChildProcess(pty_->SlavePath()));
    EXPECT_EQ(LowestFreeDescriptor(), freeBefore);
    // The failed opens left the holder's line as it was (raw mode would have
    // cleared IXON).
    const auto line = pty_->Settings();
    EXPECT_EQ(line.baud, 28800u);
    EXPECT_TRUE(line.xonXoff);

    EXPECT_EQ(CloseComPort(port_), 1);
    port_ = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(OpensInChildProcess(pty_->SlavePath()));
    port_ = OpenComPort(pty_->SlavePath().c_str());
    EXPECT_NE(port_, INVALID_HANDLE_VALUE);
}

TEST(serial_Open, FailsWithoutLeakingForWhatIsNotAPort) {
    TempConfigHome home;  // no links: COM255 reaches nothing
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
    TempConfigHome home;
    PseudoTerminal com12;
    PseudoTerminal com255;
    std::string error;
    ASSERT_TRUE(serial::RegisterComPort(12, com12.SlavePath(), &error)) << error;
    ASSERT_TRUE(serial::RegisterComPort(255, com255.SlavePath(), &error)) << error;
    for (auto [path, pty] :
         {std::pair{"\\\\.\\COM12", &com12}, std::pair{"\\\\.\\COM255", &com255}}) {
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

// --- Failures ----------------------------------------------------------------

TEST_F(serial_Port, DegenerateCallsReturnZeroAtOnce) {
    SetupComPortTimed(port_, &k8N1);
    char byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(ReadComPort(port_, &byte, 0), 0);
    EXPECT_EQ(ReadComPort(port_, nullptr, 1), 0);
    EXPECT_EQ(WriteComPort(port_, &byte, 0), 0);
    EXPECT_EQ(ReadComPort(INVALID_HANDLE_VALUE, &byte, 1), 0);
    EXPECT_EQ(WriteComPort(INVALID_HANDLE_VALUE, &byte, 1), 0);
    SetupComPortPolled(INVALID_HANDLE_VALUE, &k8N1);
    EXPECT_EQ(CloseComPort(INVALID_HANDLE_VALUE), 0);
    EXPECT_LT(Since(start), 50ms);
}

TEST_F(serial_Port, SurvivesTheDeviceHangingUp) {
    SetupComPortTimed(port_, &k8N1);
    pty_.reset();
    const auto start = Clock::now();
    EXPECT_EQ(Read(16), "");
    EXPECT_LT(Since(start), 800ms);
    EXPECT_EQ(Write("x"), 0);
    // TearDown checks that the port still closes cleanly.
}

}  // namespace
