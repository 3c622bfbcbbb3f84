// The only place the program touches a COM port: open by path, apply one of two
// line-and-time-out profiles, one blocking read or write at a time.
#pragma once

#include <cstdint>

#ifdef _WIN32
using PortHandle = void*;  // the Win32 HANDLE of the device
#ifndef INVALID_HANDLE_VALUE
inline PortHandle const INVALID_HANDLE_VALUE =
    reinterpret_cast<PortHandle>(static_cast<std::intptr_t>(-1));
#endif
#else
using PortHandle = int;  // a file descriptor
#ifndef INVALID_HANDLE_VALUE
inline constexpr PortHandle INVALID_HANDLE_VALUE = -1;
#endif
#endif

// Line settings; parity and stop bits use the Win32 codes so that callers are
// the same on every platform.
struct ComPortSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t dataBits = 8;
    std::uint8_t parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 0;     // 0 one, 1 one and a half, 2 two
    std::uint8_t flowControl = 0;  // 0 none, 1 RTS/CTS, 2 XON/XOFF, other: untouched
};

inline constexpr std::uint8_t kFlowNone = 0;
inline constexpr std::uint8_t kFlowHardware = 1;
inline constexpr std::uint8_t kFlowSoftware = 2;

// Opens the device exclusively (also against other programs) with nothing
// echoed or translated; INVALID_HANDLE_VALUE on any failure. "\\.\COMn"
// paths are resolved to a device (see PortPath.h) on POSIX.
PortHandle OpenComPort(const char* devicePath);
// Why the last OpenComPort of the calling thread failed, so that a caller can
// tell the operator what to do; kNone after a successful open.
enum class OpenFailure {
    kNone,
    kNoDevice,    // nothing at that path, or the COM number reaches nothing
    kInUse,       // another program (or this one) holds the port
    kPermission,  // the user may not open it (on Linux: not in the dialout group)
    kOther,       // not a serial port, or any other error
};
OpenFailure LastOpenComPortFailure();
// The reason an error number of opening or locking a device stands for.
OpenFailure ClassifyOpenError(int error);

// 1 when the port was closed, 0 otherwise (an invalid handle, say).
int CloseComPort(PortHandle port);

// Both set-ups apply the line settings (null: keep the line as it is), then
// purge both directions. Failures are not reported. On POSIX a value outside
// its range leaves that setting alone, and a rate of 0 keeps the rate.
// A port never set up behaves like the timed profile.
//
// Timed profile: a read returns when the requested count has arrived or 100 ms
// after it was issued. Writes may take 10 ms per byte plus 1 s.
void SetupComPortTimed(PortHandle port, const ComPortSettings* settings);
// Polled profile: a read returns at once with what is buffered. Writes may take
// 1 ms per byte plus 1 s.
void SetupComPortPolled(PortHandle port, const ComPortSettings* settings);

// Byte counts; 0 when nothing arrived, nothing was written or the call failed.
// A failure leaves the port usable. A write cut short by its time-out returns
// what went out. One read and one write may run at once on a port, and any
// calls on different ports from different threads.
std::int32_t ReadComPort(PortHandle port, void* buffer, std::uint32_t maxBytes);
std::int32_t WriteComPort(PortHandle port, const void* buffer, std::uint32_t count);

// Throws away whatever the port has received and not yet been read, at once.
// A reply that came too late for the command it answered must not be taken
// for the answer to the next one.
void PurgeComPortInput(PortHandle port);

// Waits until input is waiting on the port or timeoutMs passed; true when
// input is waiting. Lets a polling reader sleep on the port instead of on a
// blind pause. A port that cannot be waited on (hung up, invalid) still takes
// the whole time-out, so such a reader never spins.
bool WaitComPortInput(PortHandle port, std::uint32_t timeoutMs);
