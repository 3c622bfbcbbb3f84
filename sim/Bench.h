// The operator's bench: the serial cable the tool opens and the devices that
// get plugged into it one after another. Opening the port means "press Start
// and switch the device on" (it boots after a delay); closing it means "unplug
// the device"; the next opening brings either the same device again or the
// next one of a batch.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Device.h"
#include "Events.h"
#include "Faults.h"
#include "LineSettings.h"
#include "ParameterTable.h"
#include "common/NonCopyable.h"

namespace kavrelsim {

struct BenchOptions {
    Millis bootDelay{1500};
    // 0: one device that keeps its values across power cycles. N > 0: a batch
    // of N devices with IMEIs counting up from device.imei, each starting from
    // factory values; after the last one the bench stays empty.
    int devices = 0;
    DeviceOptions device;
    Faults faults;
    ParameterTable factory;
    // Values the first device starts with (e.g. from a state file); factory if unset.
    std::optional<ParameterTable> firstValues;
    // Each device of a batch independently gets, with this probability, one
    // fault drawn by DrawFault(); faults.seed makes the draw repeatable.
    double faultRate = 0;
};

// What a device drew, and the faults that carry it out.
struct DrawnFault {
    std::string name;  // as the "fault" event names it
    Faults faults;
};

// The mix the random faults are drawn from: all on the AT side.
DrawnFault DrawFault(const Faults& base, FaultRandom& random);

enum class PowerCommand { kOn, kOff, kCycle };

// Devices report back to the bench through a pointer to it.
class Bench : NonCopyable {
public:
    // Throws std::invalid_argument when the IMEI series would not fit 15 digits.
    Bench(BenchOptions options, EventSink sink);

    void SetValuesChangedHandler(std::function<void(const ParameterTable&)> handler);
    // Whichever device received a firmware image hands it here.
    void SetFirmwareHandler(BootLoader::ImageHandler handler);

    void PortOpened(Millis now);
    void PortClosed(Millis now);
    // The operator's power switch; acts at once on the device on the bench.
    void Power(PowerCommand command, Millis now);

    void Receive(std::string_view bytes, const LineSettings& line, Millis now);
    // Fires what is due: the power-on after the boot delay, the device's timers.
    void Advance(Millis now);
    // What the device sends by `now`, as a tool set up as `line` receives it.
    std::string TakeOutput(Millis now,
                           std::size_t maxBytes = std::numeric_limits<std::size_t>::max(),
                           const LineSettings& line = kCommandLine);
    bool HasOutputDue(Millis now) const;
    // The earliest moment something will happen without outside input.
    std::optional<Millis> NextDeadline() const;

    // The device on the bench; nullptr once a batch is used up.
    const Device* Current() const { return device_.get(); }
    // 1-based position in the batch of the device on the bench.
    int DeviceNumber() const { return number_; }
    // True once when the device on the bench has been pulled off the line.
    bool TakeUnplug();
    // An event from the bench's surroundings (the runner) into the same log.
    void Report(const Json& event) const { Emit(event); }

    static std::string ImeiPlus(const std::string& imei, int offset);

private:
    std::unique_ptr<Device> MakeDevice(int number, ParameterTable values);
    void SwitchOn(Millis now, std::string_view reason);
    void SwitchOff(Millis now, std::string_view reason);
    // A batch used up: the port opens, or the switch is worked, on nothing.
    void NoDevice(Millis now) const;
    void Emit(const Json& event) const { Notify(sink_, event); }

    BenchOptions options_;
    EventSink sink_;
    std::function<void(const ParameterTable&)> valuesChanged_;
    BootLoader::ImageHandler firmware_;
    std::unique_ptr<Device> device_;
    int number_ = 1;
    bool used_ = false;  // the device on the bench has been switched on
    bool portOpen_ = false;
    std::optional<Millis> bootAt_;
    std::string fault_;  // drawn for the device on the bench; empty: none
};

}  // namespace kavrelsim
