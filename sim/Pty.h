// The pseudo-terminal the simulator serves: the tool opens the slave side as
// its serial port, the simulator reads and writes the master side.
#pragma once

#include <optional>
#include <string>

#include "LineSettings.h"

namespace kavrelsim {

class Pty {
public:
    // Throws std::runtime_error when no pseudo-terminal can be had.
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Whether some process holds the slave open. Only meaningful after the
    // constructor primed the hang-up state: before the slave is opened for
    // the first time the master reports no hang-up at all.
    bool SlaveOpen() const;
    // The settings the tool applied to its side (the termios are shared).
    std::optional<LineSettings> Settings() const;
    // Throws away bytes in flight in both directions, so a program opening the
    // port never sees what was meant for the previous connection. Only while
    // the tool has the port closed.
    void Flush() const;

private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace kavrelsim
