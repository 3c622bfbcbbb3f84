// A pseudo-terminal whose slave side the code under test opens as its serial
// port, while the test plays the device on the master side.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "LineSettings.h"
#include "Pty.h"

namespace testsupport {

// What the device's UART sees of the line, and the set-up only the tool's
// side has.
struct LineSettings : kavrelsim::LineSettings {
    bool rtsCts = false;
    bool xonXoff = false;  // IXON and IXOFF both set
    bool raw = false;      // no echo, no canonical mode, no output processing
};

class PseudoTerminal {
public:
    // Throws std::runtime_error when no pty can be had.
    PseudoTerminal() = default;

    const std::string& SlavePath() const { return pty_.SlavePath(); }
    int MasterFd() const { return pty_.Master(); }

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
    bool SlaveIsOpen() const { return pty_.SlaveOpen(); }

private:
    kavrelsim::Pty pty_;  // the simulator's own line end: raw slave, non-blocking master
};

}  // namespace testsupport
