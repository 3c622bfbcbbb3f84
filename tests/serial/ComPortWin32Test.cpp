// The Win32 port layer where no serial device is needed: what an open that
// cannot give a port reports, and that calls on a handle that is no port fail
// safely instead of blocking or crashing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "serial/ComPort.h"

namespace {

TEST(ComPortWin32, AComNumberWithNothingBehindItIsNoDevice) {
    PortHandle port = OpenComPort("\\\\.\\COM231");
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kNoDevice);

    EXPECT_EQ(OpenComPort(""), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kNoDevice);
    EXPECT_EQ(OpenComPort(nullptr), INVALID_HANDLE_VALUE);
}

TEST(ComPortWin32, APlainFileIsNoPort) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "tirvel-com-port-win32-test.txt";
    { std::ofstream(file) << "AT\r\n"; }
    PortHandle port = OpenComPort(file.string().c_str());
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kOther);
    if (port != INVALID_HANDLE_VALUE) {
        CloseComPort(port);
    }
    // The handle was closed again: the file can be removed.
    std::error_code error;
    EXPECT_TRUE(std::filesystem::remove(file, error)) << error.message();
}

TEST(ComPortWin32, CallsOnAnInvalidHandleFailWithoutSideEffects) {
    char buffer[8] = {};
    for (PortHandle port : {INVALID_HANDLE_VALUE, PortHandle{nullptr}}) {
        EXPECT_EQ(ReadComPort(port, buffer, sizeof buffer), 0);
        EXPECT_EQ(WriteComPort(port, "AT\r", 3), 0);
        EXPECT_EQ(CloseComPort(port), 0);
        SetupComPortTimed(port, nullptr);
        SetupComPortPolled(port, nullptr);
    }
    // Such a port still takes its whole wait, so a polling reader never spins.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitComPortInput(INVALID_HANDLE_VALUE, 50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
}

}  // namespace
