// The Win32 port layer where no serial device is needed: what an open that
// cannot give a port reports, and that calls on a handle that is no port fail
// safely instead of blocking or crashing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include <windows.h>

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

// A loopback line: a pseudo-terminal on the host that sends every byte back,
// reached by Wine as a COM port (see wine-com-loopback.py), named by
// TIRVEL_WIN32_LOOPBACK_PORT. Wine does not keep a port to its first opener,
// so exclusive opening is not checked here.
TEST(ComPortWin32, BytesWrittenComeBackThroughTheLine) {
    const char* path = std::getenv("TIRVEL_WIN32_LOOPBACK_PORT");
    if (path == nullptr || *path == '\0') {
        GTEST_SKIP() << "no loopback COM port (TIRVEL_WIN32_LOOPBACK_PORT)";
    }
    PortHandle port = OpenComPort(path);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << static_cast<int>(LastOpenComPortFailure());
    ComPortSettings settings;
    settings.baudRate = 115200;
    SetupComPortTimed(port, &settings);
    // Every byte value, so nothing on the way may translate or swallow one.
    std::string command;
    for (int c = 0; c < 256; ++c) {
        command.push_back(static_cast<char>(c));
    }
    ASSERT_EQ(WriteComPort(port, command.data(), static_cast<std::uint32_t>(command.size())),
              static_cast<std::int32_t>(command.size()));
    std::string echoed;
    char buffer[64];
    for (int i = 0; i < 50 && echoed.size() < command.size(); ++i) {
        const std::int32_t n = ReadComPort(port, buffer, sizeof buffer);
        echoed.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(echoed, command);

    // The polled profile returns at once with what is buffered, and with
    // nothing when nothing is: a read that waits for the next byte stalls a
    // caller that polls between writes (Wine's overlapped reads did).
    SetupComPortPolled(port, nullptr);
    auto empty = std::async(std::launch::async, [&] {
        char none[16];
        return ReadComPort(port, none, sizeof none);
    });
    if (empty.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "a polled read of an empty line is still waiting";
        WriteComPort(port, "!", 1);  // lets it end, so the test can
    }
    EXPECT_EQ(empty.get(), 0);
    ASSERT_EQ(WriteComPort(port, "AT\r", 3), 3);
    ASSERT_TRUE(WaitComPortInput(port, 5000));
    std::string polled;
    for (int i = 0; i < 500 && polled.size() < 3; ++i) {
        const std::int32_t n = ReadComPort(port, buffer, sizeof buffer);
        polled.append(buffer, static_cast<std::size_t>(n));
        if (n == 0) {
            WaitComPortInput(port, 10);
        }
    }
    EXPECT_EQ(polled, "AT\r");
    EXPECT_EQ(CloseComPort(port), 1);
}

// Another program must not reach a port the tool holds. Windows refuses the
// second open; Wine lets it through, so there the case says so and stops.
TEST(ComPortWin32, IsHeldExclusivelyUntilClosed) {
    const char* path = std::getenv("TIRVEL_WIN32_LOOPBACK_PORT");
    if (path == nullptr || *path == '\0') {
        GTEST_SKIP() << "no loopback COM port (TIRVEL_WIN32_LOOPBACK_PORT)";
    }
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
        GTEST_SKIP() << "Wine does not enforce share mode 0: a second open of a COM port "
                        "succeeds there, so exclusive opening is checked on Windows only";
    }
    PortHandle first = OpenComPort(path);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenComPort(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastOpenComPortFailure(), OpenFailure::kInUse);
    EXPECT_EQ(CloseComPort(first), 1);
    PortHandle again = OpenComPort(path);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseComPort(again);
}

}  // namespace
