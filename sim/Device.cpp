#include "Device.h"

#include <algorithm>
#include <charconv>

#include "Bytes.h"

namespace kavrelsim {
namespace {

constexpr std::string_view kOk = "OK\r\n";
constexpr std::string_view kError = "ERROR\r\n";
constexpr std::string_view kNeedPassword = "\r\nNEED PWD\r\n";

// A line of nothing but blanks and the "\n" of a "\r\n" ending carries no
// command: real modems ignore it rather than answering ERROR.
bool IsBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c == '\n' || c == ' ' || c == '\t'; });
}

std::string Info(std::string_view text) {
    std::string s = "\r\n";
    s += text;
    s += "\r\nOK\r\n";
    return s;
}

}  // namespace

Device::Device(DeviceOptions options, ParameterTable table, Faults faults, EventSink sink)
    : options_(std::move(options)),
      table_(std::move(table)),
      faults_(std::move(faults)),
      sink_(std::move(sink)) {}

void Device::PowerOn(Millis now) {
    powered_ = true;
    poweredAt_ = now;
    windowOpen_ = true;
    configMode_ = false;
    loggedIn_ = false;
    mode_ = DeviceMode::kApplication;
    line_.clear();
    lineOverflow_ = false;
    output_.clear();
}

void Device::PowerOff(Millis now) {
    if (!output_.empty() && output_.front().taken > 0) {
        const Chunk& c = output_.front();
        EmitTx(now, std::string_view(c.bytes).substr(0, c.taken), true);
    }
    output_.clear();
    powered_ = false;
    windowOpen_ = false;
    configMode_ = false;
    loggedIn_ = false;
    line_.clear();
    lineOverflow_ = false;
}

bool Device::Listening(Millis now) const {
    return powered_ && (configMode_ || (windowOpen_ && now - poweredAt_ < options_.window));
}

void Device::Receive(std::string_view bytes, const LineSettings& line, Millis now) {
    if (!powered_ || bytes.empty()) {
        return;
    }
    LineSettings expected = ExpectedLine(mode_);
    if (line != expected) {
        // The UART samples at its own rate: what arrives is framing errors and
        // noise, and it also spoils whatever command was half received.
        Json e = MakeEvent(now, "line-rate-mismatch");
        e["baud"] = line.baud;
        e["data_bits"] = line.dataBits;
        e["parity"] = std::string(1, line.parity);
        e["stop_bits"] = line.stopBits;
        e["expected_baud"] = expected.baud;
        e["bytes"] = bytes.size();
        Emit(e);
        line_.clear();
        lineOverflow_ = false;
        return;
    }
    for (char c : bytes) {
        if (c == '\r') {
            HandleLine(now);
            line_.clear();
            lineOverflow_ = false;
        } else if (line_.size() < kMaxLine) {
            line_ += c;
        } else {
            lineOverflow_ = true;
        }
    }
}

void Device::HandleLine(Millis now) {
    if (IsBlank(line_) || !Listening(now) || faults_.silent) {
        return;
    }
    if (options_.echo) {
        Queue(now, line_ + '\r');
    }
    std::string_view line = line_;
    std::string reply;
    if (lineOverflow_) {
        reply = Reject(line.substr(0, 32), "line too long", now);
    } else {
        // Bytes before "AT" are line noise or the tail of an earlier attempt
        // (a "\n", a partial command): the device hunts for the attention
        // sequence like any modem.
        auto at = line.find("AT");
        reply = at == std::string_view::npos ? Reject(line, "no AT command", now)
                                             : Execute(line.substr(at), now);
    }
    Queue(now + faults_.replyDelay, std::move(reply));
}

std::string Device::Execute(std::string_view command, Millis now) {
    if (command == "AT+TEST") {
        if (!configMode_) {
            configMode_ = true;
            Emit(MakeEvent(now, "config-mode"));
        }
        return std::string(NeedsLogin() ? kNeedPassword : kOk);
    }
    if (!configMode_) {
        return Reject(command, "AT+TEST first", now);
    }
    if (command.starts_with("AT+TESTPWD=")) {
        std::string_view given = command.substr(11);
        bool ok = options_.password.empty() || given == options_.password;
        Json e = MakeEvent(now, "login");
        e["result"] = ok ? "ok" : "failed";
        Emit(e);
        if (!ok) {
            return std::string(kError);
        }
        loggedIn_ = true;
        return std::string(kOk);
    }
    if (command == "AT+QUIT") {
        configMode_ = false;
        windowOpen_ = false;
        loggedIn_ = false;
        Emit(MakeEvent(now, "quit"));
        return std::string(kOk);
    }
    if (NeedsLogin()) {
        return Reject(command, "password required", now);
    }
    if (command == "AT+DTU&IMEI?") {
        return Info(options_.imei);
    }
    if (command == "AT+DTU&VER?") {
        return Info(options_.versionText);
    }
    if (command == "AT+GETDV=0") {
        // The listing opens with a line end, as every multi-line answer does, so
        // the echoed command stays a line of its own and item 1 is not glued to it.
        return "\r\n" + table_.Listing() + std::string(kOk);
    }
    if (command.starts_with("AT+SET=")) {
        return Set(command, command.substr(7), now);
    }
    if (command == "AT+RESTORE") {
        table_.RestoreFactory();
        Emit(MakeEvent(now, "restore"));
        if (valuesChanged_) {
            valuesChanged_(table_);
        }
        return std::string(kOk);
    }
    return Reject(command, "unknown command", now);
}

std::string Device::Set(std::string_view command, std::string_view args, Millis now) {
    auto comma = args.find(',');
    std::string_view digits = args.substr(0, comma);
    int item = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), item);
    if (comma == std::string_view::npos || digits.empty() || digits.size() > 6 ||
        ec != std::errc() || end != digits.data() + digits.size()) {
        return Reject(command, "expected AT+SET=N,V", now);
    }
    std::string_view value = args.substr(comma + 1);
    if (faults_.errorOnSet.contains(item)) {
        return Reject(command, "--error-on fault", now);
    }
    Parameter* p = table_.Find(item);
    if (p == nullptr) {
        return Reject(command, "no item " + std::to_string(item), now);
    }
    if (!p->rule.Accepts(value)) {
        return Reject(command, "item " + std::to_string(item) + " wants " + p->rule.Describe(),
                      now);
    }
    Json e = MakeEvent(now, "set");
    e["item"] = item;
    e["name"] = Readable(p->name);
    e["old"] = Hex(p->value);
    e["new"] = Hex(value);
    e["old_text"] = Readable(p->value);
    e["new_text"] = Readable(value);
    p->value = std::string(value);
    Emit(e);
    if (valuesChanged_) {
        valuesChanged_(table_);
    }
    return std::string(kOk);
}

std::string Device::Reject(std::string_view command, std::string_view reason, Millis now) {
    Json e = MakeEvent(now, "rejected");
    e["command"] = Readable(command);
    e["reason"] = reason;
    Emit(e);
    return std::string(kError);
}

void Device::Queue(Millis due, std::string bytes) {
    // Output only ever leaves from the front, so answers go in the order their
    // commands arrived whatever their delay.
    output_.push_back(Chunk{due, std::move(bytes)});
}

std::string Device::TakeOutput(Millis now, std::size_t maxBytes) {
    std::string out;
    while (!output_.empty() && output_.front().due <= now && out.size() < maxBytes) {
        Chunk& c = output_.front();
        std::size_t n = std::min(c.bytes.size() - c.taken, maxBytes - out.size());
        out.append(c.bytes, c.taken, n);
        c.taken += n;
        if (c.taken == c.bytes.size()) {
            EmitTx(now, c.bytes, false);
            output_.pop_front();
        }
    }
    return out;
}

std::optional<Millis> Device::NextOutputDue() const {
    if (output_.empty()) {
        return std::nullopt;
    }
    return output_.front().due;
}

void Device::EmitTx(Millis now, std::string_view bytes, bool cut) {
    Json e = MakeEvent(now, "tx");
    e["hex"] = Hex(bytes);
    e["text"] = Readable(bytes);
    if (cut) {
        e["cut"] = true;  // power went before the rest of it left
    }
    Emit(e);
}

void Device::Emit(const Json& event) const {
    if (sink_) {
        sink_(event);
    }
}

}  // namespace kavrelsim
