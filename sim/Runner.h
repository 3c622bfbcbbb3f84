// Serves a Bench on a pseudo-terminal: one thread, one poll loop with timers.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "Bench.h"
#include "Pacer.h"
#include "Pty.h"

namespace kavrelsim {

struct RunnerConfig {
    bool throttle = false;      // pace output at the line rate
    bool powerCommands = true;  // read "on", "off", "cycle" lines from stdin
    // After a device was pulled off the line the bench is served on a new
    // pty; this hears its path so that links can follow it.
    std::function<void(const std::string& path)> replugged;
    // A rate the tool's side may show in place of the AT rate: Wine cannot
    // put 28800 on a Linux pty and leaves 38400 there. 0: none.
    std::uint32_t commandRateAlias = 0;
};

class Runner : NonCopyable {
public:
    using Clock = std::chrono::steady_clock;

    // SIGINT and SIGTERM must already be blocked (BlockStopSignals) so that
    // they are taken from a signalfd instead of killing the process.
    Runner(Bench& bench, Pty& pty, RunnerConfig config, Clock::time_point start);
    ~Runner();

    // Serves until SIGINT or SIGTERM.
    void Run();

    static void BlockStopSignals();

private:
    std::chrono::nanoseconds Elapsed() const { return Clock::now() - start_; }
    static Millis ToMillis(std::chrono::nanoseconds t) {
        return std::chrono::duration_cast<Millis>(t);
    }
    void ReadPowerCommands(Millis now);
    // False once the tool has hung up.
    bool ReadFromTool(Millis now);
    void Pump(std::chrono::nanoseconds now);
    void WriteOutbox();
    void Unplug(Millis now);
    // The pty's settings, with the alias read as the AT rate.
    LineSettings ToolSettings() const;

    Bench& bench_;
    Pty& pty_;
    RunnerConfig config_;
    Clock::time_point start_;
    int signalFd_ = -1;
    int stdinFd_ = -1;
    std::string stdinBuffer_;
    bool portOpen_ = false;
    std::string outbox_;  // taken from the device, not yet accepted by the pty
    Pacer pacer_;
};

}  // namespace kavrelsim
