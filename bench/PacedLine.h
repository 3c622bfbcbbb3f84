// The paced serial line the transfer benchmarks share: a pseudo-terminal for
// the sender, a relay that lets bytes through no faster than a 115200 baud 8N1
// line does (11,520 bytes/s each way; a byte reaches the far end when its last
// bit would have), and the helpers to start the programs at either end.
#pragma once

#include <sys/time.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

constexpr double kLineBytesPerSecond = 11520.0;  // 115200 baud, 10 bits a byte

struct Pty {
    int master = -1;
    std::string slave;
};

Pty OpenPty();

// Held open by the bench so the slave stays raw and never hangs up between
// the programs that use it.
int OpenRawSlave(const std::string& path);

// When one direction of a line carried its first byte in and its last byte
// out, as Clock ticks (0: not yet). Written by the relay, read after it stops.
struct LineTimes {
    std::atomic<Clock::rep> firstIn{0};
    std::atomic<Clock::rep> lastOut{0};
};

// One direction of the line until stop. Each byte leaves one byte time after
// the later of its arrival and the previous byte's departure.
void Pace(int from, int to, const std::atomic<bool>& stop, LineTimes* times = nullptr);

// The program with stdin and stdout on fd, or on the terminal when fd is -1;
// stderr goes to /dev/null.
// In a forked child: runs args (searched on PATH) in dir; exits 126 when dir
// cannot be entered, 127 when args cannot be run.
[[noreturn]] void ExecIn(const std::filesystem::path& dir, std::vector<std::string> args);

pid_t Spawn(int fd, const std::string& tty, const std::filesystem::path& dir,
            std::vector<std::string> args);

double Seconds(const timeval& t);

}  // namespace bench
