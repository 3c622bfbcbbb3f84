// Win32 serial ports. The driver keeps line settings and time-outs with the
// handle, so these functions translate and forward. Handles are overlapped so
// that a read and a write may be in flight from different threads at once;
// each call still waits for its own completion.
#include "common/LeanWindows.h"

#include <algorithm>
#include <climits>

#include "serial/ComPort.h"
#include "serial/OpenFailureRecord.h"

namespace {

// {ReadInterval, ReadTotalMultiplier, ReadTotalConstant, WriteTotalMultiplier,
//  WriteTotalConstant}, in milliseconds.
// Timed: a read completes with the requested count or after 100 ms.
constexpr COMMTIMEOUTS kTimedTimeouts{0, 0, 100, 10, 1000};
// Polled: MAXDWORD/0/0 makes a read complete at once with what is buffered.
constexpr COMMTIMEOUTS kPolledTimeouts{MAXDWORD, 0, 0, 1, 1000};

bool IsValid(PortHandle port) {
    return port != INVALID_HANDLE_VALUE && port != nullptr;
}

void ApplyFlowControl(DCB& dcb, std::uint8_t flow) {
    switch (flow) {
        case kFlowNone:
            dcb.fOutxCtsFlow = FALSE;
            dcb.fOutX = FALSE;
            dcb.fInX = FALSE;
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
            break;
        case kFlowHardware:
            dcb.fOutxCtsFlow = TRUE;
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
            break;
        case kFlowSoftware:
            dcb.fOutX = TRUE;
            dcb.fInX = TRUE;
            break;
        default:
            break;
    }
}

// Failures are not reported: every step is tried, and the caller finds out
// from the traffic whether the port works.
void SetupComPort(PortHandle port, const ComPortSettings* settings, const COMMTIMEOUTS& profile) {
    if (!IsValid(port)) {
        return;
    }
    ::SetupComm(port, 8192, 8192);
    if (settings != nullptr) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (::GetCommState(port, &dcb)) {
            // fParity, fDtrControl and the XON/XOFF/error/event characters stay as the
            // driver has them.
            dcb.BaudRate = settings->baudRate;
            dcb.ByteSize = settings->dataBits;
            dcb.Parity = settings->parity;
            dcb.StopBits = settings->stopBits;
            ApplyFlowControl(dcb, settings->flowControl);
            ::SetCommState(port, &dcb);
        }
    }
    COMMTIMEOUTS timeouts{};
    ::GetCommTimeouts(port, &timeouts);
    timeouts = profile;  // all five fields belong to the profile
    ::SetCommTimeouts(port, &timeouts);
    ::SetCommMask(port, EV_RXCHAR | EV_TXEMPTY);
    ::PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

// An overlapped operation with its event, closed however the call ends; the
// event is null when none could be made.
struct Overlapped : OVERLAPPED {
    Overlapped() : OVERLAPPED{} { hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~Overlapped() {
        if (hEvent != nullptr) {
            ::CloseHandle(hEvent);
        }
    }
};

// One overlapped transfer, waited for. The count comes from
// GetOverlappedResult even on immediate success: the count parameter of
// ReadFile and WriteFile is unreliable on overlapped handles.
template <class Start>
std::int32_t Transfer(PortHandle port, Start start) {
    Overlapped overlapped;
    if (overlapped.hEvent == nullptr) {
        return 0;
    }
    bool ok = start(&overlapped) != FALSE;
    if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
        ::WaitForSingleObject(overlapped.hEvent, INFINITE);
        ok = true;
    }
    DWORD done = 0;
    if (ok) {
        ok = ::GetOverlappedResult(port, &overlapped, &done, FALSE) != FALSE;
    }
    if (!ok) {
        // Clears the error state that would fail every following call.
        DWORD errors = 0;
        COMSTAT status{};
        ::ClearCommError(port, &errors, &status);
        done = 0;
    }
    return static_cast<std::int32_t>(done);
}

DWORD Clamp(std::uint32_t count) {
    return std::min<DWORD>(count, static_cast<DWORD>(INT32_MAX));
}

}  // namespace

OpenFailure ClassifyOpenError(int error) {
    switch (error) {
        case 0:
            return OpenFailure::kNone;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenFailure::kNoDevice;
        case ERROR_ACCESS_DENIED:  // what a port another program holds answers
        case ERROR_SHARING_VIOLATION:
            return OpenFailure::kInUse;
        default:
            return OpenFailure::kOther;
    }
}

PortHandle OpenComPort(const char* devicePath) {
    if (devicePath == nullptr || *devicePath == '\0') {
        return serial::OpenFailed(OpenFailure::kNoDevice);
    }
    HANDLE handle =
        ::CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return serial::OpenFailed(ClassifyOpenError(static_cast<int>(::GetLastError())));
    }
    // CreateFile opens plain files and other devices just as well; only a
    // handle the serial driver answers for is a port, or every later call
    // would fail silently on it.
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (::GetCommState(handle, &dcb) == FALSE) {
        ::CloseHandle(handle);
        return serial::OpenFailed(OpenFailure::kOther);
    }
    serial::OpenSucceeded();
    // The driver may still hold time-outs that block a read for ever; a port
    // never set up behaves like the timed profile.
    COMMTIMEOUTS timeouts = kTimedTimeouts;
    ::SetCommTimeouts(handle, &timeouts);
    return handle;
}

int CloseComPort(PortHandle port) {
    if (!IsValid(port)) {
        return 0;
    }
    return ::CloseHandle(port) ? 1 : 0;
}

void SetupComPortTimed(PortHandle port, const ComPortSettings* settings) {
    SetupComPort(port, settings, kTimedTimeouts);
}

void SetupComPortPolled(PortHandle port, const ComPortSettings* settings) {
    SetupComPort(port, settings, kPolledTimeouts);
}

// Whether the handle holds the polled profile's time-outs.
bool IsPolled(PortHandle port) {
    COMMTIMEOUTS timeouts{};
    return ::GetCommTimeouts(port, &timeouts) != FALSE &&
           timeouts.ReadIntervalTimeout == kPolledTimeouts.ReadIntervalTimeout &&
           timeouts.ReadTotalTimeoutMultiplier == 0 && timeouts.ReadTotalTimeoutConstant == 0;
}

std::int32_t ReadComPort(PortHandle port, void* buffer, std::uint32_t maxBytes) {
    if (!IsValid(port) || buffer == nullptr || maxBytes == 0) {
        return 0;
    }
    if (IsPolled(port)) {
        // What is buffered now and no more, asked of the queue first: Wine
        // leaves a polled overlapped read pending until a byte arrives, which
        // would stall a caller that polls between writes.
        DWORD errors = 0;
        COMSTAT status{};
        if (::ClearCommError(port, &errors, &status) == FALSE || status.cbInQue == 0) {
            return 0;
        }
        maxBytes = std::min<std::uint32_t>(maxBytes, status.cbInQue);
    }
    return Transfer(port, [&](OVERLAPPED* overlapped) {
        return ::ReadFile(port, buffer, Clamp(maxBytes), nullptr, overlapped);
    });
}

std::int32_t WriteComPort(PortHandle port, const void* buffer, std::uint32_t count) {
    if (!IsValid(port) || buffer == nullptr || count == 0) {
        return 0;
    }
    return Transfer(port, [&](OVERLAPPED* overlapped) {
        return ::WriteFile(port, buffer, Clamp(count), nullptr, overlapped);
    });
}

void PurgeComPortInput(PortHandle port) {
    if (IsValid(port)) {
        ::PurgeComm(port, PURGE_RXCLEAR);
    }
}

bool WaitComPortInput(PortHandle port, std::uint32_t timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    const auto waiting = [port] {
        DWORD errors = 0;
        COMSTAT status{};
        return ::ClearCommError(port, &errors, &status) != FALSE && status.cbInQue > 0;
    };
    if (!IsValid(port)) {
        ::Sleep(timeoutMs);
        return false;
    }
    Overlapped overlapped;
    for (;;) {
        if (waiting()) {
            return true;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            break;
        }
        const DWORD left = static_cast<DWORD>(deadline - now);
        if (overlapped.hEvent == nullptr) {
            ::Sleep(std::min<DWORD>(left, 10));
            continue;
        }
        // The set-up's mask holds EV_RXCHAR; EV_TXEMPTY may wake us too, and
        // the queue check above sorts that out.
        ::ResetEvent(overlapped.hEvent);
        DWORD events = 0;
        if (::WaitCommEvent(port, &events, &overlapped) == FALSE) {
            if (::GetLastError() != ERROR_IO_PENDING) {
                ::Sleep(std::min<DWORD>(left, 10));
                continue;
            }
            if (::WaitForSingleObject(overlapped.hEvent, left) != WAIT_OBJECT_0) {
                // Setting the mask again completes the pending wait.
                ::SetCommMask(port, EV_RXCHAR | EV_TXEMPTY);
            }
            DWORD unused = 0;
            ::GetOverlappedResult(port, &overlapped, &unused, TRUE);
        }
    }
    return false;
}
