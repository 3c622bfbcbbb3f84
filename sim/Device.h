// One Kavrel DTU as its serial port sees it: the AT command interpreter, the
// start-up window, the password login and the configuration items. It knows no
// transport: the caller hands in received bytes with the line settings they
// came with and the current time, and collects the bytes the device sends.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "Events.h"
#include "Faults.h"
#include "LineSettings.h"
#include "ParameterTable.h"

namespace kavrelsim {

struct DeviceOptions {
    std::string imei = "860000000000001";
    std::string password;  // empty: no login needed
    std::string versionText = "KV-2.9.4 build 2022-11-09";
    Millis window{10000};  // how long after power-on AT+TEST is answered
    bool echo = true;
};

class Device {
public:
    Device(DeviceOptions options, ParameterTable table, Faults faults, EventSink sink);

    void PowerOn(Millis now);
    // Volatile state goes (configuration mode, login, half-received command,
    // unsent output); the configuration items stay.
    void PowerOff(Millis now);

    void Receive(std::string_view bytes, const LineSettings& line, Millis now);

    // The bytes due by `now`, at most maxBytes of them, in order.
    std::string TakeOutput(Millis now,
                           std::size_t maxBytes = std::numeric_limits<std::size_t>::max());
    // When the oldest unsent byte is due, if any is waiting.
    std::optional<Millis> NextOutputDue() const;

    // Called after every change of the items' values (AT+SET, AT+RESTORE).
    void SetValuesChangedHandler(std::function<void(const ParameterTable&)> handler) {
        valuesChanged_ = std::move(handler);
    }

    bool Powered() const { return powered_; }
    bool InConfigMode() const { return configMode_; }
    bool LoggedIn() const { return loggedIn_; }
    DeviceMode Mode() const { return mode_; }
    const std::string& Imei() const { return options_.imei; }
    const ParameterTable& Table() const { return table_; }

    // Longest command line kept; anything longer is answered with ERROR.
    static constexpr std::size_t kMaxLine = 1024;

private:
    struct Chunk {
        Millis due;
        std::string bytes;
        std::size_t taken = 0;
    };

    bool Listening(Millis now) const;
    bool NeedsLogin() const { return !options_.password.empty() && !loggedIn_; }
    void HandleLine(Millis now);
    std::string Execute(std::string_view command, Millis now);
    std::string Set(std::string_view command, std::string_view args, Millis now);
    std::string Reject(std::string_view command, std::string_view reason, Millis now);
    void Queue(Millis due, std::string bytes);
    void EmitTx(Millis now, std::string_view bytes, bool cut);
    void Emit(const Json& event) const;

    DeviceOptions options_;
    ParameterTable table_;
    Faults faults_;
    EventSink sink_;
    std::function<void(const ParameterTable&)> valuesChanged_;

    bool powered_ = false;
    Millis poweredAt_{0};
    bool windowOpen_ = false;
    bool configMode_ = false;
    bool loggedIn_ = false;
    DeviceMode mode_ = DeviceMode::kApplication;
    std::string line_;
    bool lineOverflow_ = false;
    std::deque<Chunk> output_;
};

}  // namespace kavrelsim
