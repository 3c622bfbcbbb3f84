#include "Runner.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "common/AsciiText.h"
#include "common/StopSignals.h"

namespace kavrelsim {
namespace {

using Nanos = std::chrono::nanoseconds;

// While nobody holds the port the master only says "hung up", which poll
// reports at once: look again after this long instead of spinning.
constexpr Nanos kUnpluggedPoll = std::chrono::milliseconds(10);

}  // namespace

void Runner::BlockStopSignals() {
    sigset_t set = StopSignalSet();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

Runner::Runner(Bench& bench, Pty& pty, RunnerConfig config, Clock::time_point start)
    : bench_(bench), pty_(pty), config_(config), start_(start) {
    sigset_t set = StopSignalSet();
    signalFd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd_ < 0) {
        throw std::runtime_error(std::string("signalfd: ") + std::strerror(errno));
    }
    if (config_.powerCommands) {
        stdinFd_ = STDIN_FILENO;
    }
}

Runner::~Runner() {
    ::close(signalFd_);
}

void Runner::Run() {
    for (;;) {
        // poll passes over a descriptor of -1: no close events, stdin at its
        // end, the port closed.
        const short portEvents = outbox_.empty() ? POLLIN : POLLIN | POLLOUT;
        pollfd fds[] = {{signalFd_, POLLIN, 0},
                        {pty_.CloseEvents(), POLLIN, 0},
                        {stdinFd_, POLLIN, 0},
                        {portOpen_ ? pty_.Master() : -1, portEvents, 0}};

        Nanos now = Elapsed();
        std::optional<Nanos> wake;
        if (!portOpen_) {
            wake = now + kUnpluggedPoll;
        }
        if (auto deadline = bench_.NextDeadline()) {
            if (*deadline > ToMillis(now)) {
                KeepEarliest<Nanos>(wake, *deadline);
            } else if (config_.throttle && outbox_.empty()) {
                KeepEarliest<Nanos>(wake, pacer_.NextSlot());
            }
        }
        timespec ts{};
        if (wake) {
            Nanos left = std::max(Nanos(0), *wake - now);
            ts.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
            ts.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
        }
        if (::ppoll(fds, std::size(fds), wake ? &ts : nullptr, nullptr) < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        }

        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            [[maybe_unused]] auto n = ::read(signalFd_, &info, sizeof info);
            return;
        }
        now = Elapsed();
        Millis ms = ToMillis(now);
        // Taken before the port is read: a close shows up here no later than as
        // a hang-up, and unlike the hang-up it is still here when the tool has
        // already opened the port again.
        const int closes = pty_.TakeCloses();
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            ReadPowerCommands(ms);
        }
        if (!portOpen_ && pty_.SlaveOpen()) {
            portOpen_ = true;
            pacer_.Idle();
            bench_.PortOpened(ms);
        }
        if (portOpen_ && (!ReadFromTool(ms) || closes > 0)) {
            portOpen_ = false;
            outbox_.clear();
            pty_.Flush();
            bench_.PortClosed(ms);
        }
        bench_.Advance(ms);
        if (bench_.TakeUnplug()) {
            Unplug(ms);
            continue;
        }
        if (portOpen_) {
            Pump(now);
        } else {
            // A device switched on by hand talks into an unplugged cable.
            bench_.TakeOutput(ms);
        }
    }
}

void Runner::Unplug(Millis now) {
    // What was still waiting for the tool goes with the cable. The names the
    // tool opens move to the new pty before the old one goes dead: a tool that
    // reopens the moment it sees the hang-up finds the next device.
    outbox_.clear();
    pty_.Replace();
    Notify(config_.replugged, pty_.SlavePath());
    pty_.Unplug();
    if (portOpen_) {
        portOpen_ = false;
        bench_.PortClosed(now);
    }
    bench_.Report(MakeEvent(now, "replugged", {{"pty", pty_.SlavePath()}}));
}

void Runner::ReadPowerCommands(Millis now) {
    char buf[256];
    ssize_t n = ::read(stdinFd_, buf, sizeof buf);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            stdinFd_ = -1;  // end of input: no more power commands
        }
        return;
    }
    stdinBuffer_.append(buf, static_cast<std::size_t>(n));
    std::size_t nl;
    while ((nl = stdinBuffer_.find('\n')) != std::string::npos) {
        std::string line = Trimmed(std::string_view(stdinBuffer_).substr(0, nl), " \t\r");
        stdinBuffer_.erase(0, nl + 1);
        // In the order of PowerCommand.
        static constexpr std::string_view kCommands[] = {"on", "off", "cycle"};
        const auto* known = std::find(std::begin(kCommands), std::end(kCommands), line);
        if (known != std::end(kCommands)) {
            bench_.Power(static_cast<PowerCommand>(known - kCommands), now);
        } else if (!line.empty()) {
            std::fprintf(stderr, "kavrel-sim: unknown command '%s' (on, off, cycle)\n",
                         line.c_str());
        }
    }
}

LineSettings Runner::ToolSettings() const {
    LineSettings line = pty_.Settings().value_or(LineSettings{});
    if (config_.commandRateAlias != 0 && line.baud == config_.commandRateAlias) {
        line.baud = kCommandLine.baud;
    }
    return line;
}

bool Runner::ReadFromTool(Millis now) {
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(pty_.Master(), buf, sizeof buf);
        if (n > 0) {
            // The settings in force now are the ones the bytes were sent with,
            // as long as the tool drains its output before changing them.
            const LineSettings line = ToolSettings();
            bench_.Receive(std::string_view(buf, static_cast<std::size_t>(n)), line, now);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        break;  // EAGAIN: all read; EIO: the tool has closed the port
    }
    return pty_.SlaveOpen();
}

void Runner::Pump(Nanos now) {
    if (!outbox_.empty()) {
        WriteOutbox();
        if (!outbox_.empty()) {
            return;  // the tool is not reading; pacing has nothing to add
        }
    }
    Millis ms = ToMillis(now);
    if (!bench_.HasOutputDue(ms)) {
        pacer_.Idle();
        return;
    }
    const LineSettings line = ToolSettings();
    // Rate 0 paces nothing.
    const std::uint32_t baud = config_.throttle ? line.baud : 0;
    const std::size_t allowance = pacer_.Allowance(now, baud);
    if (allowance == 0) {
        return;
    }
    outbox_ = bench_.TakeOutput(ms, allowance, line);
    pacer_.Sent(outbox_.size(), baud);
    WriteOutbox();
}

void Runner::WriteOutbox() {
    while (!outbox_.empty()) {
        ssize_t n = ::write(pty_.Master(), outbox_.data(), outbox_.size());
        if (n > 0) {
            outbox_.erase(0, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN) {
                outbox_.clear();  // hung up: the hang-up is handled on the next turn
            }
            return;
        }
    }
}

}  // namespace kavrelsim
