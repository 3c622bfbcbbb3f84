#include "Device.h"

#include <algorithm>
#include <charconv>
#include <utility>
#include <vector>

#include "Bytes.h"

namespace kavrelsim {
namespace {

constexpr std::string_view kOk = "OK\r\n";
constexpr std::string_view kError = "ERROR\r\n";
constexpr std::string_view kNeedPassword = "\r\nNEED PWD\r\n";

// A line of nothing but blanks and the "\n" of a "\r\n" ending carries no
// command: real modems ignore it rather than answering ERROR.
bool IsBlank(std::string_view line) {
    return line.find_first_not_of("\n \t") == std::string_view::npos;
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
      sink_(std::move(sink)),
      random_(faults_.seed) {}

bool Device::CouldMakeAnswer(char c) {
    // \x11 is XON, \x13 XOFF.
    return std::string_view("\r\nOKok\x11\x13").find(c) != std::string_view::npos;
}

void Device::Unplug(Millis now) {
    if (unplugged_) {
        return;
    }
    unplugged_ = true;
    unplug_ = true;
    unplugAt_.reset();
    Emit(MakeEvent(now, "unplug",
                   {{"imei", options_.imei}, {"state", UnplugAtName(faults_.unplugAt)}}));
}

bool Device::TakeUnplug() {
    return std::exchange(unplug_, false);
}

void Device::Spoil(std::string& bytes, Millis now) {
    if (faults_.noiseRate <= 0 && faults_.dropRate <= 0) {
        return;
    }
    std::string out;
    out.reserve(bytes.size() + 8);
    int flipped = 0;
    int inserted = 0;
    int dropped = 0;
    for (char c : bytes) {
        if (faults_.dropRate > 0 && random_.Unit() < faults_.dropRate) {
            ++dropped;
            continue;
        }
        if (faults_.noiseRate > 0 && random_.Unit() < faults_.noiseRate) {
            if (random_.Below(2) == 0) {
                c = static_cast<char>(c ^ (1 << random_.Below(8)));
                ++flipped;
            } else {
                out += static_cast<char>(random_.Below(256));
                ++inserted;
            }
        }
        out += c;
    }
    if (flipped + inserted + dropped > 0) {
        Emit(MakeEvent(now, "line-fault",
                       {{"imei", options_.imei},
                        {"flipped", flipped},
                        {"inserted", inserted},
                        {"dropped", dropped}}));
    }
    bytes = std::move(out);
}

void Device::PowerOn(Millis now) {
    powered_ = true;
    sets_ = 0;
    imeiReads_ = 0;
    output_.clear();
    Boot(now);
    junkFrom_ = now;
    junkBytes_ = 0;
    if (faults_.lineBabble || faults_.lineBabbleOk) {
        junkAt_ = now + kBabblePeriod;
        Emit(MakeEvent(now, faults_.lineBabbleOk ? "line-babble-ok" : "line-babble",
                       {{"imei", options_.imei}, {"bytes_per_second", kBabbleBytesPerSecond}}));
    } else if (faults_.lineTrickle > Millis(0)) {
        junkAt_ = now + faults_.lineTrickle;
        Emit(MakeEvent(now, "line-trickle",
                       {{"imei", options_.imei}, {"period_ms", faults_.lineTrickle.count()}}));
    }
}

// Power-on and the reboot after an update alike; what has already been sent
// stays on its way.
void Device::Boot(Millis now) {
    poweredAt_ = now;
    mode_ = DeviceMode::kApplication;
    Forget(now, "reboot");
    windowOpen_ = true;
    phase_ = Phase::kLoaderWindow;
    if (options_.loader.window <= Millis(0)) {
        StartApplication(now);
    }
}

void Device::StartApplication(Millis now) {
    phase_ = Phase::kApplication;
    mode_ = DeviceMode::kApplication;
    if (!options_.debug.Empty()) {
        debugNext_ = 0;
        debugAt_ = now + options_.debug.pieces.front().delay;
    }
    if (UnplugDue(UnplugAt::kDebugLog)) {
        unplugAt_ = now + Millis(faults_.unplugN);
    }
}

bool Device::AfterLoader(Millis now) {
    if (loader_->TakeUnplug()) {
        Unplug(now);
        return false;
    }
    switch (loader_->Result()) {
        case BootLoader::Outcome::kRunning:
            break;
        case BootLoader::Outcome::kBootApplication:
            loader_.reset();
            StartApplication(now);
            break;
        case BootLoader::Outcome::kReboot:
            loader_.reset();
            Emit(MakeEvent(now, "reboot", {{"imei", options_.imei}}));
            Boot(now);
            break;
    }
    return true;
}

void Device::Advance(Millis now) {
    if (!powered_) {
        return;
    }
    if (unplugAt_ && *unplugAt_ <= now) {
        Unplug(*unplugAt_);
        return;
    }
    auto endWindow = [this, now] {
        if (phase_ == Phase::kLoaderWindow && now - poweredAt_ >= options_.loader.window) {
            StartApplication(poweredAt_ + options_.loader.window);
        }
    };
    endWindow();
    if (loader_ != nullptr) {
        loader_->Advance(now);
        if (!AfterLoader(now)) {
            return;
        }
        endWindow();  // a reboot may have ended the new loader window already
    }
    PlayDebug(now);
    PlayJunk(now);
    PlayEndless(now);
}

// What the device never stops sending is dropped rather than queued while
// nobody takes it: a line carries it on whether or not anybody listens.
void Device::PlayJunk(Millis now) {
    while (junkAt_ && *junkAt_ <= now) {
        const Millis at = *junkAt_;
        std::int64_t count = 1;
        if (faults_.lineBabble || faults_.lineBabbleOk) {
            count = (at - junkFrom_).count() * kBabbleBytesPerSecond / 1000 - junkBytes_;
            *junkAt_ += kBabblePeriod;
        } else {
            *junkAt_ += faults_.lineTrickle;
        }
        const std::int64_t carried = junkBytes_;
        junkBytes_ += count;
        if (output_.size() >= kMaxBacklog) {
            continue;
        }
        std::string junk;
        // The result lines run on from where the line left off, so that what
        // is dropped for a tool that does not read leaves them whole.
        for (std::int64_t i = carried; faults_.lineBabbleOk && i < carried + count; ++i) {
            junk += kBabbledLine[static_cast<std::size_t>(i) % kBabbledLine.size()];
        }
        while (!faults_.lineBabbleOk && static_cast<std::int64_t>(junk.size()) < count) {
            auto c = static_cast<char>(random_.Below(256));
            if (!CouldMakeAnswer(c)) {
                junk += c;
            }
        }
        Queue(at, std::move(junk));
    }
}

void Device::PlayEndless(Millis now) {
    while (endlessAt_ && *endlessAt_ <= now) {
        const Millis at = *endlessAt_;
        *endlessAt_ += faults_.endlessListing;
        ++endlessLines_;
        endlessNumber_ = endlessNumber_ % kEndlessItems + 1;
        if (output_.size() >= kMaxBacklog) {
            continue;
        }
        const Parameter* p = table_.Find(endlessNumber_);
        const std::string name = p != nullptr ? p->name : "Item " + std::to_string(endlessNumber_);
        Queue(at, ParameterTable::ListingLine(endlessNumber_, name, std::to_string(endlessLines_)));
    }
}

void Device::StopEndless(Millis now, std::string_view by) {
    endlessStarting_ = false;
    if (!endlessAt_) {
        return;
    }
    endlessAt_.reset();
    Emit(MakeEvent(now, "endless-listing",
                   {{"state", "stopped"}, {"by", by}, {"lines", endlessLines_}}));
}

void Device::PlayDebug(Millis now) {
    const auto& pieces = options_.debug.pieces;
    while (phase_ == Phase::kApplication && debugAt_ && *debugAt_ <= now) {
        Queue(*debugAt_,
              ExpandDebugPiece(pieces[debugNext_].bytes, options_.imei, options_.versionText,
                               *debugAt_ - poweredAt_),
              kConsoleLine);
        if (++debugNext_ == pieces.size()) {
            if (options_.debug.loopFrom >= pieces.size()) {
                debugAt_.reset();
                break;
            }
            debugNext_ = options_.debug.loopFrom;
        }
        *debugAt_ += pieces[debugNext_].delay;
    }
}

void Device::PowerOff(Millis now) {
    if (!output_.empty() && output_.front().taken > 0) {
        const Chunk& c = output_.front();
        EmitTx(now, std::string_view(c.bytes).substr(0, c.taken), true);
    }
    output_.clear();
    if (loader_ != nullptr) {
        loader_->PowerLost(now);
    }
    junkAt_.reset();
    Forget(now, "power-off");
    powered_ = false;
    unplugAt_.reset();
}

void Device::Forget(Millis now, std::string_view why) {
    windowOpen_ = false;
    configMode_ = false;
    loggedIn_ = false;
    ForgetLine();
    loader_.reset();
    debugAt_.reset();
    StopEndless(now, why);
}

void Device::ForgetLine() {
    line_.clear();
    lineOverflow_ = false;
}

bool Device::Listening(Millis now) const {
    return powered_ && (configMode_ || (windowOpen_ && now - poweredAt_ < options_.window));
}

void Device::Receive(std::string_view bytes, const LineSettings& line, Millis now) {
    if (!powered_ || bytes.empty() || unplug_) {
        return;
    }
    Advance(now);
    if (phase_ == Phase::kLoaderWindow && line == kConsoleLine && !faults_.Mute()) {
        if (UnplugDue(UnplugAt::kAwaitingLoader)) {
            Unplug(now);
            return;
        }
        if (auto u = bytes.find('u'); u != std::string_view::npos) {
            phase_ = Phase::kLoader;
            mode_ = DeviceMode::kBootLoader;
            LoaderOptions o = options_.loader;
            o.versionText = options_.versionText;
            loader_ = std::make_unique<BootLoader>(
                std::move(o), faults_, sink_,
                [this](Millis due, std::string out) { Queue(due, std::move(out), kConsoleLine); },
                [this](const std::string& image) { Notify(firmware_, image); });
            loader_->BreakIn(now);
            bytes.remove_prefix(u + 1);
        }
        // Anything else goes on to the application, which hears it at its own rate.
    }
    LineSettings expected = ExpectedLine(mode_);
    if (line != expected) {
        // The UART samples at its own rate: what arrives is framing errors and
        // noise, and it also spoils whatever command was half received.
        Emit(MakeEvent(now, "line-rate-mismatch",
                       {{"baud", line.baud},
                        {"data_bits", line.dataBits},
                        {"parity", std::string(1, line.parity)},
                        {"stop_bits", line.stopBits},
                        {"expected_baud", expected.baud},
                        {"bytes", bytes.size()}}));
        ForgetLine();
        return;
    }
    if (loader_ != nullptr) {
        loader_->Receive(bytes, now);
        AfterLoader(now);
        return;
    }
    for (char c : bytes) {
        if (unplug_) {
            return;  // gone: the rest never arrived
        }
        if (c == '\r') {
            HandleLine(now);
            ForgetLine();
        } else if (line_.size() < kMaxLine) {
            line_ += c;
        } else {
            lineOverflow_ = true;
        }
    }
}

void Device::HandleLine(Millis now) {
    if (IsBlank(line_) || !Listening(now) || faults_.Mute()) {
        return;
    }
    StopEndless(now, "command");
    if (UnplugDue(UnplugAt::kConnecting) && line_.find("AT+TEST") != std::string::npos) {
        Unplug(now);
        return;
    }
    MaybeStray(now, "before-echo");
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
    if (unplug_) {
        return;  // pulled off before the answer left
    }
    Millis delay = faults_.replyDelay;
    if (!faults_.delayCommand.empty() &&
        line.find(faults_.delayCommand) != std::string_view::npos) {
        delay += faults_.delayOne;
        Emit(MakeEvent(now, "late-reply",
                       {{"command", Readable(line)}, {"delay_ms", delay.count()}}));
    }
    MisdeliverLines(reply, now);
    Queue(now + delay, std::move(reply));
    MaybeStray(now + delay, "after-answer");
    if (std::exchange(endlessStarting_, false)) {
        endlessAt_ = now + delay + faults_.endlessListing;
        endlessLines_ = 0;
        endlessNumber_ = table_.Items().empty() ? 0 : table_.Items().back().number;
        Emit(MakeEvent(now, "endless-listing",
                       {{"state", "started"}, {"period_ms", faults_.endlessListing.count()}}));
    }
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
        Emit(MakeEvent(now, "login", {{"result", ok ? "ok" : "failed"}}));
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
        if (++imeiReads_ == faults_.garbleImeiRead && !options_.imei.empty()) {
            std::string garbled = options_.imei;
            char& last = garbled.back();
            last = last == '9' ? '0' : static_cast<char>(last + 1);
            Emit(MakeEvent(now, "garbled-imei", {{"imei", options_.imei}, {"told", garbled}}));
            return Info(garbled);
        }
        return Info(options_.imei);
    }
    if (command == "AT+DTU&VER?") {
        return Info(options_.versionText);
    }
    if (command == "AT+GETDV=0") {
        // The listing opens with a line end, as every multi-line answer does, so
        // the echoed command stays a line of its own and item 1 is not glued to it.
        if (UnplugDue(UnplugAt::kConnected)) {
            unplugAt_ = now + Millis(300);
        }
        endlessStarting_ = faults_.endlessListing > Millis(0);  // then its OK never comes
        return "\r\n" + OrderedListing(now) + std::string(endlessStarting_ ? "" : kOk);
    }
    if (command.starts_with("AT+SET=")) {
        return Set(command, command.substr(7), now);
    }
    if (command == "AT+RESTORE") {
        table_.RestoreFactory();
        Emit(MakeEvent(now, "restore"));
        Notify(valuesChanged_, table_);
        return std::string(kOk);
    }
    return Reject(command, "unknown command", now);
}

void Device::MaybeStray(Millis due, std::string_view where) {
    if (faults_.strayLines <= 0 || random_.Unit() >= faults_.strayLines) {
        return;
    }
    static constexpr std::string_view kStrays[] = {"OK\r\n", "ERROR\r\n", "+STATUS: 1\r\n"};
    const std::string_view line = kStrays[random_.Below(3)];
    Emit(MakeEvent(due, "stray-line", {{"text", Readable(line)}, {"where", where}}));
    Queue(due, std::string(line));
}

void Device::MisdeliverLines(std::string& reply, Millis now) {
    if (faults_.repeatLines <= 0 && faults_.dropLines <= 0) {
        return;
    }
    std::string out;
    int repeated = 0;
    int dropped = 0;
    for (std::size_t start = 0; start < reply.size();) {
        const std::size_t end = reply.find("\r\n", start);
        const std::size_t next = end == std::string::npos ? reply.size() : end + 2;
        const std::string_view line = std::string_view(reply).substr(start, next - start);
        start = next;
        if (faults_.dropLines > 0 && random_.Unit() < faults_.dropLines) {
            ++dropped;
            continue;
        }
        out += line;
        if (faults_.repeatLines > 0 && random_.Unit() < faults_.repeatLines) {
            out += line;
            ++repeated;
        }
    }
    if (repeated + dropped > 0) {
        Emit(MakeEvent(now, "line-misdelivered", {{"repeated", repeated}, {"dropped", dropped}}));
    }
    reply = std::move(out);
}

std::string Device::OrderedListing(Millis now) {
    if (faults_.listingOrder == ListingOrder::kAscending && faults_.listingGaps.empty()) {
        return table_.Listing();
    }
    std::vector<const Parameter*> items;
    for (const auto& p : table_.Items()) {
        if (faults_.listingGaps.count(p.number) == 0) {
            items.push_back(&p);
        }
    }
    if (faults_.listingOrder == ListingOrder::kDescending) {
        std::reverse(items.begin(), items.end());
    } else if (faults_.listingOrder == ListingOrder::kShuffled) {
        for (std::size_t i = items.size(); i > 1; --i) {
            std::swap(items[i - 1],
                      items[static_cast<std::size_t>(random_.Below(static_cast<int>(i)))]);
        }
    }
    Json e = MakeEvent(now, "listing-order", {{"order", ListingOrderName(faults_.listingOrder)}});
    std::string out;
    for (const Parameter* p : items) {
        e["items"].push_back(p->number);
        out += ParameterTable::ListingLine(p->number, p->name, p->value);
    }
    Emit(e);
    return out;
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
    ++sets_;
    if (faults_.errorOnSet.contains(item)) {
        return Reject(command, "--error-on fault", now);
    }
    if (faults_.errorOnNthSet == sets_) {
        return Reject(command, "ERROR on AT+SET number " + std::to_string(sets_) + " (fault)", now);
    }
    Parameter* p = table_.Find(item);
    if (p == nullptr) {
        return Reject(command, "no item " + std::to_string(item), now);
    }
    if (!p->rule.Accepts(value)) {
        return Reject(command, "item " + std::to_string(item) + " wants " + p->rule.Describe(),
                      now);
    }
    Emit(MakeEvent(now, "set",
                   {{"item", item},
                    {"name", Readable(p->name)},
                    {"old", Hex(p->value)},
                    {"new", Hex(value)},
                    {"old_text", Readable(p->value)},
                    {"new_text", Readable(value)}}));
    p->value = std::string(value);
    Notify(valuesChanged_, table_);
    if (faults_.unplugAt == UnplugAt::kMidModify && faults_.unplugN == sets_) {
        Unplug(now);
    }
    return std::string(kOk);
}

std::string Device::Reject(std::string_view command, std::string_view reason, Millis now) {
    Emit(MakeEvent(now, "rejected", {{"command", Readable(command)}, {"reason", reason}}));
    return std::string(kError);
}

void Device::Queue(Millis due, std::string bytes, const LineSettings& line) {
    // Output only ever leaves from the front, so answers go in the order their
    // commands arrived whatever their delay.
    output_.push_back(Chunk{due, std::move(bytes), line});
}

std::string Device::TakeOutput(Millis now, std::size_t maxBytes, const LineSettings& line) {
    Advance(now);
    std::string out;
    if (unplug_) {
        return out;
    }
    while (!output_.empty() && output_.front().due <= now && out.size() < maxBytes) {
        Chunk& c = output_.front();
        if (c.taken == 0 && c.line != line) {
            Emit(MakeEvent(now, "tx-lost",
                           {{"hex", Hex(c.bytes)},
                            {"text", Readable(c.bytes)},
                            {"baud", c.line.baud},
                            {"tool_baud", line.baud}}));
            output_.pop_front();
            continue;
        }
        std::size_t n = std::min(c.bytes.size() - c.taken, maxBytes - out.size());
        std::string piece = c.bytes.substr(c.taken, n);
        Spoil(piece, now);
        out += piece;
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

std::optional<Millis> Device::NextDeadline() const {
    std::optional<Millis> next = NextOutputDue();
    if (powered_) {
        if (phase_ == Phase::kLoaderWindow) {
            KeepEarliest<Millis>(next, poweredAt_ + options_.loader.window);
        }
        if (loader_ != nullptr) {
            KeepEarliest(next, loader_->NextDeadline());
        }
        for (const auto& at : {debugAt_, unplugAt_, junkAt_, endlessAt_}) {
            KeepEarliest(next, at);
        }
    }
    return next;
}

void Device::EmitTx(Millis now, std::string_view bytes, bool cut) {
    Json e = MakeEvent(now, "tx", {{"hex", Hex(bytes)}, {"text", Readable(bytes)}});
    if (cut) {
        e["cut"] = true;  // power went before the rest of it left
    }
    Emit(e);
}

}  // namespace kavrelsim
