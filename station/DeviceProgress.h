// What a command tells about the device it is working on, for a station that
// shows many ports at once. A command run alone on one port has nobody to
// tell, and the defaults change nothing in what it does.
#pragma once

#include <cstdint>
#include <string>

namespace station {

enum class DeviceStep {
    Waiting,    // for the device (or its boot loader, or the receiver's start signal)
    Connected,  // logged in and read, or its boot loader found
    Writing,    // detail: the items being written
    Checking,   // the read-back
    Sending,    // the firmware transfer
};

class DeviceObserver {
public:
    virtual ~DeviceObserver() = default;
    virtual void Step(DeviceStep /*step*/, int /*detail*/ = 0) {}
    // Shown texts, not the device's bytes.
    virtual void Identity(const std::string& /*imei*/, const std::string& /*version*/) {}
    // A device is there and nothing has been changed on it yet. False: the
    // run has all the devices it asked for; leave this one as it is.
    virtual bool Claim() { return true; }
    virtual void Transfer(std::int64_t /*done*/, std::int64_t /*total*/) {}
    // Where the device's own values come from, as shown: "ids.csv line 4",
    // "pool ids row 17" (several joined by ", "). Told once they are known,
    // before anything is written.
    virtual void Values(const std::string& /*source*/) {}
};

// How the work on one port ended, as far as a station needs to know.
enum class DeviceOutcome {
    Done,         // a device was worked on; its row says how it went
    NoDevice,     // nothing answered in the time the wait allows
    PortFailed,   // the port could not be opened, or its line gives no device (only noise,
                  // or a first try that failed before any device)
    Surplus,      // a device came, but the run had enough
    JobFailed,    // the profile or image is unusable: no device can take it
    Interrupted,  // stopped before a device came
};

}  // namespace station
