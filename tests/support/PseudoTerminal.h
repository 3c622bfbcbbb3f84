// A pseudo-terminal whose slave side the code under test opens as its serial
// port, while the test plays the device on the master side.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace testsupport {

struct LineSettings {
    std::uint32_t baud = 0;
    int dataBits = 0;
    char parity = 'N';  // N, O, E, M, S
    int stopBits = 1;
    bool rtsCts = false;
    bool xonXoff = false;  // IXON and IXOFF both set
    bool raw = false;      // no echo, no canonical mode, no output processing
};

class PseudoTerminal {
public:
    PseudoTerminal();  // throws std::runtime_error when no pty can be had
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    // Bytes towards the code under test.
    void Write(std::string_view bytes) const;
    // Everything the code under test sent within the window.
    std::string ReadFor(std::chrono::milliseconds window) const;
    // Reads until the marker has arrived or the time-out passed; returns what arrived.
    std::string ReadUntil(std::string_view marker, std::chrono::milliseconds timeout) const;
    // Bytes the code under test has sent and nobody has read yet (no wait).
    std::string Drain() const;

    // The line settings the code under test applied to its side. Linux ptys
    // always report 8 data bits and no parity, whatever was set.
    LineSettings Settings() const;
    // True while some process holds the slave side open.
    bool SlaveIsOpen() const;

private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace testsupport
