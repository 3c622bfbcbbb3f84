// The tool's side of the cable to the simulator, as the tests play the tool:
// bytes out, and what comes back until a marker or a time is up.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "serial/ComPort.h"

namespace kavrelsim::testing {

class CablePort {
public:
    // How reads wait: the tool's timed reads in a dialogue, polled ones
    // during an update.
    enum class Reads { kTimed, kPolled };

    CablePort(const std::string& path, std::uint32_t baud, Reads reads) : reads_(reads) {
        port_ = OpenComPort(path.c_str());
        if (port_ != INVALID_HANDLE_VALUE) {
            Setup(baud);
        }
    }
    ~CablePort() { Close(); }
    CablePort(const CablePort&) = delete;
    CablePort& operator=(const CablePort&) = delete;

    bool IsOpen() const { return port_ != INVALID_HANDLE_VALUE; }
    PortHandle Fd() const { return port_; }
    void Close() {
        if (IsOpen()) {
            CloseComPort(port_);
            port_ = INVALID_HANDLE_VALUE;
        }
    }
    void Setup(std::uint32_t baud, std::uint8_t stopBits = 0) {
        ComPortSettings s{baud, 8, 0, stopBits, kFlowNone};
        if (reads_ == Reads::kPolled) {
            SetupComPortPolled(port_, &s);
        } else {
            SetupComPortTimed(port_, &s);
        }
    }
    void Send(std::string_view bytes) {
        WriteComPort(port_, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    // Everything that arrives within `window`.
    std::string ReadFor(std::chrono::milliseconds window) {
        return ReadUntil([](const std::string&) { return false; }, window);
    }
    // Reads until `marker` arrived or `timeout` passed.
    std::string ReadUntil(std::string_view marker, std::chrono::milliseconds timeout) {
        std::string m(marker);
        return ReadUntil([m](const std::string& got) { return got.find(m) != std::string::npos; },
                         timeout);
    }
    std::string ReadUntil(const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds timeout) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done(got) && std::chrono::steady_clock::now() < deadline) {
            char buf[512];
            const auto n = ReadComPort(port_, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, static_cast<std::size_t>(n));
            } else if (reads_ == Reads::kPolled) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return got;
    }

private:
    Reads reads_;
    PortHandle port_ = INVALID_HANDLE_VALUE;
};

}  // namespace kavrelsim::testing
