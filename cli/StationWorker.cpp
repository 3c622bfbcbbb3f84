#include "cli/StationWorker.h"

#include <iostream>

#include "cli/Commands.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

// The board redraws a few times a second; more events only cost the pipe.
constexpr auto kTransferEventPeriod = std::chrono::milliseconds(200);

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
};

}  // namespace

const char* JobCommand(StationJob job) {
    switch (job) {
        case StationJob::Update:
            return "update";
        case StationJob::Send:
            return "send";
        case StationJob::Batch:
            return "batch";
    }
    return "";
}

WorkerLink::WorkerLink(std::ostream& events, std::istream& replies)
    : events_(events), replies_(replies), buffer_(*this), messages_(&buffer_) {}

int WorkerLink::LineBuffer::overflow(int c) {
    if (c == traits_type::eof()) {
        return 0;
    }
    if (c != '\n') {
        line_ += static_cast<char>(c);
        return c;
    }
    StationEvent event;
    event.kind = StationEvent::Kind::Message;
    event.text = std::move(line_);
    line_.clear();
    link_.Emit(event);
    return c;
}

void WorkerLink::Emit(const StationEvent& event) {
    const std::lock_guard lock(mutex_);
    events_ << EncodeEvent(event) << '\n' << std::flush;
}

void WorkerLink::Step(DeviceStep step, int detail) {
    StationEvent event;
    event.kind = StationEvent::Kind::Step;
    event.step = step;
    event.detail = detail;
    Emit(event);
}

void WorkerLink::Identity(const std::string& imei, const std::string& version) {
    StationEvent event;
    event.kind = StationEvent::Kind::Identity;
    event.imei = imei;
    event.version = version;
    Emit(event);
}

bool WorkerLink::Claim() {
    StationEvent event;
    event.kind = StationEvent::Kind::Claim;
    Emit(event);
    // A supervisor that is gone wants no more devices.
    claimed_ = ReadReply() == kClaimGranted;
    return claimed_;
}

void WorkerLink::Transfer(std::int64_t done, std::int64_t total) {
    const auto now = std::chrono::steady_clock::now();
    const bool first = lastTransfer_ == std::chrono::steady_clock::time_point{};
    if (!first && done != total && now - lastTransfer_ < kTransferEventPeriod) {
        return;
    }
    lastTransfer_ = now;
    StationEvent event;
    event.kind = StationEvent::Kind::Transfer;
    event.done = done;
    event.total = total;
    Emit(event);
}

void WorkerLink::End(DeviceOutcome outcome, const DeviceRow* row) {
    StationEvent event;
    event.kind = StationEvent::Kind::End;
    event.outcome = outcome;
    if (row != nullptr) {
        event.row = *row;
    }
    Emit(event);
}

std::string WorkerLink::ReadReply() {
    std::string line;
    if (!std::getline(replies_, line)) {
        return std::string();
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

int RunStationWorker(StationJob job, HostSettings settings, const std::string& file,
                     const std::string& bytes) {
    WorkerLink link(std::cout, std::cin);
    settings.password = DecodePasswordLine(link.ReadReply());
    settings.promptForPassword = false;
    NullBuffer discard;
    std::ostream nowhere(&discard);
    // Quiet: the supervisor's board shows the steps; outcomes and failures
    // still come as messages, and the last one is the device's report text.
    Console console(nowhere, link.Messages(), true, false);
    ConsoleHost host(settings, console);

    DeviceRow row;
    DeviceOutcome outcome = DeviceOutcome::JobFailed;
    switch (job) {
        case StationJob::Update:
            outcome = UpdateDevice(host, console, file, link, row);
            break;
        case StationJob::Send:
            outcome = SendToPort(host, console, settings, bytes, link, row);
            break;
        case StationJob::Batch: {
            bool imported = false;
            outcome =
                BatchDevice(host, console, MakeBatchProfile(bytes), imported, false, link, row);
            break;
        }
    }
    // A device cancelled half-way is a device done badly, and says so; a
    // send has no claim, but its port is its device.
    if (outcome == DeviceOutcome::Interrupted && (link.Claimed() || job == StationJob::Send)) {
        outcome = DeviceOutcome::Done;
        row.ok = false;
        row.time = row.time.empty() ? LocalTime() : row.time;
        row.message = Console::Text(res::IDS_CLI_INTERRUPTED);
    }
    const bool hasRow = outcome == DeviceOutcome::Done;
    link.End(outcome, hasRow ? &row : nullptr);
    return kExitOk;
}

}  // namespace cli
