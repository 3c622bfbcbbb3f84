// A device played by the test on the master side of a pseudo-terminal: it waits
// for a command, then sends chosen bytes at chosen times.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "PseudoTerminal.h"
#include "serial/ComPort.h"

namespace testsupport {

struct Step {
    std::chrono::milliseconds delay;  // after the previous step
    std::string bytes;
};

class Peer {
public:
    Peer(PseudoTerminal& pty, std::string command, std::vector<Step> steps)
        : thread_([&pty, command = std::move(command), steps = std::move(steps), this] {
              received_ = pty.ReadUntil(command, std::chrono::seconds(5));
              for (const auto& step : steps) {
                  std::this_thread::sleep_for(step.delay);
                  pty.Write(step.bytes);
              }
          }) {}
    ~Peer() { Join(); }
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // What the code under test had sent when the peer started answering.
    const std::string& Received() {
        Join();
        return received_;
    }

private:
    std::string received_;
    std::thread thread_;
};

// Opens the pty's slave as the tool does for AT work: 28800 8N1, timed reads.
inline PortHandle OpenAtPort(const PseudoTerminal& pty) {
    PortHandle port = OpenComPort(pty.SlavePath().c_str());
    ComPortSettings settings{28800, 8, 0, 0, 0};
    SetupComPortTimed(port, &settings);
    return port;
}

class PortGuard {
public:
    explicit PortGuard(PortHandle port) : port_(port) {}
    ~PortGuard() {
        if (port_ != INVALID_HANDLE_VALUE) {
            CloseComPort(port_);
        }
    }
    PortGuard(const PortGuard&) = delete;
    PortGuard& operator=(const PortGuard&) = delete;
    PortHandle get() const { return port_; }

private:
    PortHandle port_;
};

}  // namespace testsupport
