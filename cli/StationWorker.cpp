#include "cli/StationWorker.h"

#include <iostream>
#include <optional>
#include <thread>

#include "cli/Commands.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

// The board redraws a few times a second; more events only cost the pipe.
constexpr auto kTransferEventPeriod = std::chrono::milliseconds(200);

// A line without its '\n' (and a '\r' before it); none at the end of input.
std::optional<std::string> NextLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace

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
    link_.Emit({.kind = station::StationEvent::Kind::Message, .text = std::move(line_)});
    line_.clear();
    return c;
}

void WorkerLink::Emit(const station::StationEvent& event) {
    const std::lock_guard lock(mutex_);
    events_ << station::EncodeEvent(event) << '\n' << std::flush;
}

void WorkerLink::Step(station::DeviceStep step, int detail) {
    Emit({.kind = station::StationEvent::Kind::Step, .step = step, .detail = detail});
}

void WorkerLink::Identity(const std::string& imei, const std::string& version) {
    Emit({.kind = station::StationEvent::Kind::Identity, .imei = imei, .version = version});
}

void WorkerLink::Values(const std::string& source) {
    Emit({.kind = station::StationEvent::Kind::Values, .source = source});
}

bool WorkerLink::Claim() {
    Emit({.kind = station::StationEvent::Kind::Claim});
    // A supervisor that is gone wants no more devices.
    claimed_ = ReadReply() == station::kClaimGranted;
    return claimed_;
}

void WorkerLink::Transfer(std::int64_t done, std::int64_t total) {
    const auto now = std::chrono::steady_clock::now();
    const bool first = lastTransfer_ == std::chrono::steady_clock::time_point{};
    if (!first && done != total && now - lastTransfer_ < kTransferEventPeriod) {
        return;
    }
    lastTransfer_ = now;
    Emit({.kind = station::StationEvent::Kind::Transfer, .done = done, .total = total});
}

void WorkerLink::End(station::DeviceOutcome outcome, const station::DeviceRow* row) {
    Emit({.kind = station::StationEvent::Kind::End,
          .outcome = outcome,
          .row = row != nullptr ? std::optional(*row) : std::nullopt});
}

std::string WorkerLink::ReadReply() {
    if (!watched_) {
        return NextLine(replies_).value_or(std::string());
    }
    std::unique_lock lock(watched_->mutex);
    watched_->arrived.wait(lock, [this] { return !watched_->lines.empty() || watched_->ended; });
    if (watched_->lines.empty()) {
        return std::string();
    }
    std::string line = std::move(watched_->lines.front());
    watched_->lines.pop_front();
    return line;
}

void WorkerLink::WatchReplies(std::function<void()> onCancel) {
    watched_ = std::make_shared<Replies>();
    watched_->onCancel = std::move(onCancel);
    const auto cancel = [](Replies& replies) {
        const std::lock_guard lock(replies.mutex);
        if (replies.onCancel) {
            replies.onCancel();
        }
    };
    // Detached: it may still wait for input when the worker ends; the
    // process's end ends it.
    std::thread([replies = watched_, &in = replies_, cancel] {
        while (std::optional<std::string> line = NextLine(in)) {
            if (*line == station::kCancelLine) {
                cancel(*replies);
                continue;
            }
            const std::lock_guard lock(replies->mutex);
            replies->lines.push_back(std::move(*line));
            replies->arrived.notify_all();
        }
        {
            const std::lock_guard lock(replies->mutex);
            replies->ended = true;
            replies->arrived.notify_all();
        }
        cancel(*replies);
    }).detach();
}

void WorkerLink::StopWatching() {
    if (watched_) {
        const std::lock_guard lock(watched_->mutex);
        watched_->onCancel = nullptr;
    }
}

int RunStationWorker(station::StationJob job, HostSettings settings, const std::string& file,
                     const std::string& bytes, bool portProven, job::DeviceRecorder& recorder,
                     const job::ValuesTable* values, const std::string& valuesName,
                     job::DevicePool* pool) {
    WorkerLink link(std::cout, std::cin);
    settings.password = station::DecodePasswordLine(link.ReadReply());
    settings.promptForPassword = false;
    // A stream without a buffer drops whatever it is given.
    std::ostream nowhere(nullptr);
    // Quiet: the supervisor's board shows the steps; outcomes and failures
    // still come as messages, and the last one is the device's report text.
    Console console(nowhere, link.Messages(), Verbosity::Quiet, ErrStream::Plain);
    ConsoleHost host(settings, console);
    host.SetRecorder(recorder);
    link.WatchReplies([&host] { host.Interrupt(); });
    // Before the host goes: a cancel from then on finds nothing to stop.
    struct Unwatch {
        WorkerLink& link;
        ~Unwatch() { link.StopWatching(); }
    } unwatch{link};

    station::DeviceRow row;
    station::DeviceOutcome outcome = station::DeviceOutcome::JobFailed;
    switch (job) {
        case station::StationJob::Update:
            outcome = UpdateDevice(host, console, file, link, row);
            break;
        case station::StationJob::Send:
            outcome = SendToPort(host, console, settings, bytes, link, row);
            break;
        case station::StationJob::Batch: {
            BatchPort port{false, portProven};
            outcome = BatchDevice(host, console, MakeBatchProfile(bytes, values, valuesName, pool),
                                  port, link, row);
            break;
        }
    }
    // A device cancelled half-way is a device done badly, and says so; a
    // send has no claim, but its port is its device.
    if (outcome == station::DeviceOutcome::Interrupted &&
        (link.Claimed() || job == station::StationJob::Send)) {
        outcome = station::DeviceOutcome::Done;
        row.ok = false;
        row.time = row.time.empty() ? station::LocalTime() : row.time;
        row.message = Console::Text(res::IDS_CLI_INTERRUPTED);
    }
    const bool hasRow = outcome == station::DeviceOutcome::Done;
    link.End(outcome, hasRow ? &row : nullptr);
    return kExitOk;
}

}  // namespace cli
