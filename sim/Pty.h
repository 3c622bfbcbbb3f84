// The pseudo-terminal the simulator serves: the tool opens the slave side as
// its serial port, the simulator reads and writes the master side.
#pragma once

#include <optional>
#include <string>

#include "LineSettings.h"
#include "common/NonCopyable.h"

namespace kavrelsim {

class Pty : NonCopyable {
public:
    // Throws std::runtime_error when no pseudo-terminal can be had.
    Pty();
    ~Pty();

    // Serves a fresh pseudo-terminal (its path differs from the old one) and
    // keeps the old master open until Unplug: links can be moved to the new
    // path before the tool notices anything. Throws like the constructor.
    void Replace();
    // Pulls the cable: closes the old master under whoever holds its slave,
    // whose reads and writes fail from now on.
    void Unplug();

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
    void Flush();

    // Readable when some program closed the slave. The hang-up state alone can
    // miss a close that is followed at once by the next open; the close events
    // are queued and cannot be missed. -1 where the kernel gives no events.
    int CloseEvents() const { return inotify_; }
    // How many times the slave was closed by others since the last call.
    int TakeCloses();

private:
    void Open();
    void Close();

    int master_ = -1;
    int inotify_ = -1;
    int oldMaster_ = -1;
    int ownCloses_ = 0;  // closes of our own flush still to come out of the queue
    std::string slavePath_;
};

}  // namespace kavrelsim
