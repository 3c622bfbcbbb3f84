#include "Bench.h"

#include <stdexcept>

#include "Bytes.h"

namespace kavrelsim {

std::string Bench::ImeiPlus(const std::string& imei, int offset) {
    if (imei.size() != 15 || imei.find_first_not_of("0123456789") != std::string::npos) {
        throw std::invalid_argument("an IMEI is 15 digits");
    }
    std::string out = imei;
    long long carry = offset;
    for (auto it = out.rbegin(); it != out.rend() && carry > 0; ++it) {
        long long d = (*it - '0') + carry;
        *it = static_cast<char>('0' + d % 10);
        carry = d / 10;
    }
    if (carry > 0) {
        throw std::invalid_argument("IMEI " + imei + " + " + std::to_string(offset) +
                                    " has more than 15 digits");
    }
    return out;
}

Bench::Bench(BenchOptions options, EventSink sink)
    : options_(std::move(options)), sink_(std::move(sink)) {
    if (options_.devices > 1) {
        ImeiPlus(options_.device.imei, options_.devices - 1);  // validates the whole series
    }
    device_ = MakeDevice(1, options_.firstValues.value_or(options_.factory));
}

DrawnFault DrawFault(const Faults& base, FaultRandom& random) {
    DrawnFault d{{}, base};
    Faults& f = d.faults;
    switch (random.Below(9)) {
        case 0:
            f.silent = true;
            d.name = "silent";
            break;
        case 1: {
            // Beyond the five empty reads of a query, the ten of an AT+SET.
            static constexpr const char* kCommands[] = {"AT+DTU&IMEI?", "AT+DTU&VER?", "AT+GETDV=0",
                                                        "AT+SET="};
            f.delayCommand = kCommands[random.Below(4)];
            f.delayOne = Millis(1500 + 500 * random.Below(4));
            d.name =
                "late-reply " + f.delayCommand + " " + std::to_string(f.delayOne.count()) + "ms";
            break;
        }
        case 2:
            f.errorOnNthSet = 1 + random.Below(3);
            d.name = "error-on-set " + std::to_string(f.errorOnNthSet);
            break;
        case 3:
            f.noiseRate = 0.02;
            d.name = "noise 0.02";
            break;
        case 4:
            f.dropRate = 0.02;
            d.name = "drop 0.02";
            break;
        case 5:
            f.unplugAt = UnplugAt::kConnecting;
            d.name = "unplug connecting";
            break;
        case 6:
            f.unplugAt = UnplugAt::kConnected;
            d.name = "unplug connected";
            break;
        case 7:
            f.unplugAt = UnplugAt::kMidModify;
            f.unplugN = 1 + random.Below(2);
            d.name = "unplug mid-modify " + std::to_string(f.unplugN);
            break;
        default:
            f.replyDelay = Millis(1500);
            d.name = "late-reply all 1500ms";
            break;
    }
    return d;
}

bool Bench::TakeUnplug() {
    return device_ != nullptr && device_->TakeUnplug();
}

std::unique_ptr<Device> Bench::MakeDevice(int number, ParameterTable values) {
    DeviceOptions o = options_.device;
    o.imei = ImeiPlus(o.imei, number - 1);
    Faults faults = options_.faults;
    // One stream per device: a device's line noise does not depend on how
    // much its predecessors said.
    FaultRandom random(options_.faults.seed * 0x100000001B3ULL +
                       static_cast<std::uint64_t>(number));
    faults.seed = random.Next();
    fault_.clear();
    if (options_.faultRate > 0 && random.Unit() < options_.faultRate) {
        DrawnFault drawn = DrawFault(faults, random);
        fault_ = std::move(drawn.name);
        faults = std::move(drawn.faults);
    }
    auto d = std::make_unique<Device>(std::move(o), std::move(values), std::move(faults), sink_);
    d->SetValuesChangedHandler([this](const ParameterTable& t) { Notify(valuesChanged_, t); });
    d->SetFirmwareHandler([this](const std::string& image) { Notify(firmware_, image); });
    return d;
}

void Bench::SetFirmwareHandler(BootLoader::ImageHandler handler) {
    firmware_ = std::move(handler);
}

void Bench::SetValuesChangedHandler(std::function<void(const ParameterTable&)> handler) {
    valuesChanged_ = std::move(handler);
}

void Bench::PortOpened(Millis now) {
    if (portOpen_) {
        return;
    }
    portOpen_ = true;
    Emit(MakeEvent(now, "port-open"));
    if (device_ == nullptr) {
        NoDevice(now);
    } else if (!device_->Powered()) {
        bootAt_ = now + options_.bootDelay;
    }
}

void Bench::PortClosed(Millis now) {
    if (!portOpen_) {
        return;
    }
    portOpen_ = false;
    bootAt_.reset();
    Emit(MakeEvent(now, "port-close"));
    if (device_ == nullptr) {
        return;
    }
    if (device_->Powered()) {
        SwitchOff(now, "unplugged");
    }
    // A device that was never switched on is still the one on the bench: the
    // tool may have opened the port only to look at it.
    if (options_.devices > 0 && used_) {
        ++number_;
        used_ = false;
        device_ = number_ <= options_.devices ? MakeDevice(number_, options_.factory) : nullptr;
    }
}

void Bench::Power(PowerCommand command, Millis now) {
    if (device_ == nullptr) {
        NoDevice(now);
        return;
    }
    bootAt_.reset();
    if (command != PowerCommand::kOn && device_->Powered()) {
        SwitchOff(now, "switch");
    }
    if (command != PowerCommand::kOff && !device_->Powered()) {
        SwitchOn(now, "switch");
    }
}

void Bench::Receive(std::string_view bytes, const LineSettings& line, Millis now) {
    Advance(now);
    Json e = MakeEvent(now, "rx", {{"hex", Hex(bytes)}, {"text", Readable(bytes)}});
    if (device_ == nullptr || !device_->Powered()) {
        e["ignored"] = "device off";
    }
    Emit(e);
    if (device_ != nullptr) {
        device_->Receive(bytes, line, now);
    }
}

void Bench::Advance(Millis now) {
    if (bootAt_ && now >= *bootAt_) {
        bootAt_.reset();
        SwitchOn(now, "boot");
    }
    if (device_ != nullptr) {
        device_->Advance(now);
    }
}

std::string Bench::TakeOutput(Millis now, std::size_t maxBytes, const LineSettings& line) {
    Advance(now);
    if (device_ == nullptr) {
        return {};
    }
    return device_->TakeOutput(now, maxBytes, line);
}

bool Bench::HasOutputDue(Millis now) const {
    if (device_ == nullptr) {
        return false;
    }
    auto due = device_->NextDeadline();
    return due && *due <= now;
}

std::optional<Millis> Bench::NextDeadline() const {
    std::optional<Millis> next = bootAt_;
    if (device_ != nullptr) {
        KeepEarliest(next, device_->NextDeadline());
    }
    return next;
}

void Bench::SwitchOn(Millis now, std::string_view reason) {
    device_->PowerOn(now);
    used_ = true;
    Emit(MakeEvent(now, "power-on",
                   {{"imei", device_->Imei()}, {"device", number_}, {"reason", reason}}));
    if (!fault_.empty()) {
        Emit(MakeEvent(now, "fault",
                       {{"imei", device_->Imei()}, {"device", number_}, {"fault", fault_}}));
    }
}

void Bench::NoDevice(Millis now) const {
    Emit(MakeEvent(now, "no-device",
                   {{"reason", "all " + std::to_string(options_.devices) + " devices done"}}));
}

void Bench::SwitchOff(Millis now, std::string_view reason) {
    device_->PowerOff(now);
    Emit(MakeEvent(now, "power-off",
                   {{"imei", device_->Imei()}, {"device", number_}, {"reason", reason}}));
}

}  // namespace kavrelsim
