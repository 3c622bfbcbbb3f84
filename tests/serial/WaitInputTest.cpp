// WaitComPortInput on a real pseudo-terminal: it must wake for a byte at once
// and otherwise take the time-out it was given, whatever state the port is in.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "Elapsed.h"
#include "PseudoTerminal.h"
#include "serial/ComPort.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace testsupport;

constexpr ComPortSettings k8N1{115200, 8, 0, 0, kFlowNone};

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
