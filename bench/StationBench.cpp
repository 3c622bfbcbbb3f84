// Several paced lines at once (PacedLine.h), each with lrzsz's rx at the far
// end: one tirvelctl send on one line alone, then tirvelctl on N lines at once
// (one command with N --device, or N separate commands), then N lrzsz sx at
// once. For every line: the time from the sender's first byte to the last byte
// the receiver sent (its answer to the EOT), against the line-rate bound and
// against the one send alone; for each command its CPU time per port.
//
//   station_bench --tirvelctl PATH [--lines N] [--size BYTES]
//                 [--station one|separate] [--phases alone,sx-alone,station,sx]
//                 [--ports device|com] [--rounds R]
//
// tirvelctl purges the port's input when it sets the line up, so each line's
// rx starts only once the sender has set the line's speed (the bench leaves the
// slave at 9600 until then): a start signal sent earlier would be thrown away
// and the sender would wait for rx's next one, seconds later.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "PacedLine.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;

constexpr std::chrono::milliseconds kSettle{200};  // from the line's set-up to rx's start

enum class Kind { kOurs, kSx };

struct Options {
    std::string tirvelctl;
    int lines = 4;
    std::size_t size = 256 * 1024;
    bool oneCommand = true;
    bool byCom = false;  // -p 1-N through COM links instead of --device paths
    int rounds = 1;
    std::vector<std::string> phases{"alone", "sx-alone", "station", "sx"};
};

struct Line {
    bench::Pty pty;
    int hold = -1;
    int socket[2] = {-1, -1};
    bench::LineTimes up;    // sender to receiver
    bench::LineTimes down;  // receiver to sender
    std::thread upRelay;
    std::thread downRelay;
    fs::path out;
    pid_t rx = -1;
    std::optional<Clock::time_point> setUp;  // when the sender set the line's speed
    bool rxOk = false;
};

struct Command {
    pid_t pid = -1;
    bool done = false;
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;
};

struct LineResult {
    double seconds = 0;
    bool ok = false;
};

struct PhaseResult {
    std::vector<LineResult> lines;
    double wallSeconds = 0;  // from the start of the senders to the last one's exit
    double cpuSeconds = 0;   // the senders', with the processes they waited for
    double spanSeconds = 0;  // from the first line's first byte to the last line's end
    double relaySeconds = 0;
    double rxSeconds = 0;
    bool ok = true;
};

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

Clock::time_point At(Clock::rep ticks) {
    return Clock::time_point(Clock::duration(ticks));
}

double SelfCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return bench::Seconds(u.ru_utime) + bench::Seconds(u.ru_stime);
}

// stdin from /dev/null, stdout and stderr into log, so the command sees no
// terminal and prints plain lines.
pid_t SpawnLogged(const fs::path& dir, const fs::path& log, std::vector<std::string> args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        bench::ExecIn(dir, std::move(args));
    }
    return pid;
}

bool Reap(Command& c, bool block) {
    if (c.done) {
        return true;
    }
    int status = 0;
    rusage usage{};
    const pid_t got = ::wait4(c.pid, &status, block ? 0 : WNOHANG, &usage);
    if (got != c.pid) {
        return false;
    }
    c.done = true;
    c.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    // A reaped child's figures include the descendants it waited for: the
    // station's workers count with their supervisor.
    c.cpuSeconds = bench::Seconds(usage.ru_utime) + bench::Seconds(usage.ru_stime);
    return true;
}

bool LineSetUp(const Line& line) {
    termios t{};
    return ::tcgetattr(line.hold, &t) == 0 && ::cfgetospeed(&t) != B9600;
}

std::vector<std::string> RxArgs() {
    return {"rx", "-b", "-q", "-c", "image.bin"};
}

PhaseResult RunPhase(const Options& o, const fs::path& root, const std::string& name, Kind kind,
                     int count, const std::vector<std::uint8_t>& image) {
    const fs::path dir = root / name;
    fs::create_directories(dir);
    const fs::path imagePath = root / "image.bin";
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<Line>> lines;
    for (int i = 0; i < count; ++i) {
        auto line = std::make_unique<Line>();
        line->pty = bench::OpenPty();
        line->hold = bench::OpenRawSlave(line->pty.slave);
        termios t{};
        ::tcgetattr(line->hold, &t);
        ::cfsetspeed(&t, B9600);
        ::tcsetattr(line->hold, TCSANOW, &t);
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, line->socket) != 0) {
            throw std::runtime_error("no socket pair");
        }
        ::fcntl(line->socket[0], F_SETFL, O_NONBLOCK);
        line->out = dir / ("line" + std::to_string(i + 1));
        fs::create_directories(line->out);
        line->upRelay =
            std::thread(bench::Pace, line->pty.master, line->socket[0], std::cref(stop), &line->up);
        line->downRelay = std::thread(bench::Pace, line->socket[0], line->pty.master,
                                      std::cref(stop), &line->down);
        lines.push_back(std::move(line));
    }
    const double relay0 = SelfCpuSeconds();

    std::vector<Command> commands;
    Clock::time_point start;
    if (kind == Kind::kSx) {
        // sx does not purge: rx can be waiting with its start signal already.
        for (auto& line : lines) {
            line->rx = bench::Spawn(line->socket[1], "", line->out, RxArgs());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        start = Clock::now();
        for (auto& line : lines) {
            commands.push_back(
                {bench::Spawn(-1, line->pty.slave, root, {"sx", "-b", "-q", "image.bin"})});
        }
    } else {
        start = Clock::now();
        if (o.oneCommand || count == 1) {
            std::vector<std::string> args{o.tirvelctl};
            if (o.byCom) {
                // COM N is a link in the user's port folder, as kavrel-sim --com makes.
                const fs::path links = root / "config" / "tirvel" / "ports";
                fs::create_directories(links);
                for (int i = 0; i < count; ++i) {
                    const fs::path link = links / ("com" + std::to_string(i + 1));
                    fs::remove(link);
                    fs::create_symlink(lines[i]->pty.slave, link);
                }
                ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
                args.push_back("-p");
                args.push_back(count == 1 ? "1" : "1-" + std::to_string(count));
            } else {
                for (auto& line : lines) {
                    args.push_back("--device");
                    args.push_back(line->pty.slave);
                }
            }
            args.push_back("send");
            args.push_back(imagePath.string());
            commands.push_back({SpawnLogged(root, dir / "tirvelctl.log", args)});
        } else {
            for (int i = 0; i < count; ++i) {
                commands.push_back({SpawnLogged(
                    root, dir / ("tirvelctl" + std::to_string(i + 1) + ".log"),
                    {o.tirvelctl, "--device", lines[i]->pty.slave, "send", imagePath.string()})});
            }
        }
    }

    const double bound =
        static_cast<double>((image.size() + 127) / 128 * 133) / bench::kLineBytesPerSecond;
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(3 * bound + 60));
    PhaseResult result;
    for (;;) {
        bool allDone = true;
        for (auto& c : commands) {
            if (!c.done && Reap(c, false)) {
                c.seconds = Since(start);
            }
            allDone = allDone && c.done;
        }
        for (auto& line : lines) {
            if (line->rx >= 0) {
                continue;
            }
            if (!line->setUp && LineSetUp(*line)) {
                line->setUp = Clock::now();
            }
            if (line->setUp && Clock::now() - *line->setUp >= kSettle) {
                line->rx = bench::Spawn(line->socket[1], "", line->out, RxArgs());
            }
        }
        if (allDone) {
            break;
        }
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "%s: senders still running after %.0f s, stopped\n", name.c_str(),
                         Since(start));
            for (auto& c : commands) {
                if (!c.done) {
                    ::kill(c.pid, SIGKILL);
                    Reap(c, true);
                    c.ok = false;
                    c.seconds = Since(start);
                }
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (const auto& c : commands) {
        result.wallSeconds = std::max(result.wallSeconds, c.seconds);
        result.cpuSeconds += c.cpuSeconds;
        result.ok = result.ok && c.ok;
    }

    // rx answers the EOT, then writes out the file and exits.
    for (auto& line : lines) {
        int status = 0;
        if (line->rx < 0) {
            continue;
        }
        rusage usage{};
        pid_t got = 0;
        for (int i = 0; i < 500 && (got = ::wait4(line->rx, &status, WNOHANG, &usage)) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (got == 0) {
            ::kill(line->rx, SIGKILL);
            ::wait4(line->rx, &status, 0, &usage);
            status = -1;
        }
        result.rxSeconds += bench::Seconds(usage.ru_utime) + bench::Seconds(usage.ru_stime);
        line->rxOk = status == 0;
    }
    stop = true;
    for (auto& line : lines) {
        line->upRelay.join();
        line->downRelay.join();
    }
    result.relaySeconds = SelfCpuSeconds() - relay0;

    Clock::time_point first = Clock::time_point::max();
    Clock::time_point last = Clock::time_point::min();
    for (auto& line : lines) {
        std::ifstream in(line->out / "image.bin", std::ios::binary);
        const std::string got{std::istreambuf_iterator<char>(in), {}};
        LineResult r;
        r.ok = line->rxOk && got.size() >= image.size() &&
               std::memcmp(got.data(), image.data(), image.size()) == 0 && line->up.firstIn != 0 &&
               line->down.lastOut != 0;
        if (r.ok) {
            const auto begin = At(line->up.firstIn);
            const auto end = At(line->down.lastOut);
            r.seconds = std::chrono::duration<double>(end - begin).count();
            first = std::min(first, begin);
            last = std::max(last, end);
        }
        result.ok = result.ok && r.ok;
        result.lines.push_back(r);
        for (int fd : {line->hold, line->pty.master, line->socket[0], line->socket[1]}) {
            ::close(fd);
        }
    }
    if (first < last) {
        result.spanSeconds = std::chrono::duration<double>(last - first).count();
    }
    return result;
}

struct Figures {
    double worstOfAlone = 0;  // the slowest line's rate as a fraction of the send alone's
    double timesAlone = 0;    // the lines' rates summed, in sends alone
    double cpuPercentPerPort = 0;
};

Figures Print(const std::string& name, const std::string& sender, const PhaseResult& r,
              double bound, double alone) {
    for (std::size_t i = 0; i < r.lines.size(); ++i) {
        const LineResult& l = r.lines[i];
        if (!l.ok) {
            std::printf("%-9s %-9s %4zu %9s %9s %9s  FAILED\n", name.c_str(), sender.c_str(), i + 1,
                        "-", "-", "-");
            continue;
        }
        std::printf("%-9s %-9s %4zu %9.2f %9.3f %9.3f  received intact\n", name.c_str(),
                    sender.c_str(), i + 1, l.seconds, bound / l.seconds,
                    alone > 0 ? alone / l.seconds : 0.0);
    }
    const double n = static_cast<double>(r.lines.size());
    double sum = 0;
    for (const LineResult& l : r.lines) {
        sum += l.ok && alone > 0 ? alone / l.seconds : 0;
    }
    Figures f;
    f.timesAlone = sum;
    f.cpuPercentPerPort = r.wallSeconds > 0 ? 100 * r.cpuSeconds / r.wallSeconds / n : 0.0;
    f.worstOfAlone = 1e9;
    for (const LineResult& l : r.lines) {
        f.worstOfAlone = std::min(f.worstOfAlone, l.ok && alone > 0 ? alone / l.seconds : 0);
    }
    std::printf(
        "%-9s %-9s  all: wall %.2f s, span %.2f s, %.2f x one alone (sum of the lines' "
        "rates), CPU %.3f s = %.2f %% of a core per port; relays %.1f s, rx %.1f s CPU\n",
        name.c_str(), sender.c_str(), r.wallSeconds, r.spanSeconds, sum, r.cpuSeconds,
        r.wallSeconds > 0 ? 100 * r.cpuSeconds / r.wallSeconds / n : 0.0, r.relaySeconds,
        r.rxSeconds);
    std::fflush(stdout);
    return f;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--tirvelctl") {
            o.tirvelctl = value;
        } else if (option == "--lines") {
            o.lines = std::stoi(value);
        } else if (option == "--size") {
            o.size = std::stoul(value);
        } else if (option == "--rounds") {
            o.rounds = std::max(1, std::stoi(value));
        } else if (option == "--ports") {
            o.byCom = value == "com";
        } else if (option == "--station") {
            o.oneCommand = value != "separate";
        } else if (option == "--phases") {
            o.phases.clear();
            std::stringstream s(value);
            for (std::string p; std::getline(s, p, ',');) {
                o.phases.push_back(p);
            }
        }
    }
    if (o.tirvelctl.empty() || o.lines < 1) {
        std::fprintf(stderr,
                     "usage: station_bench --tirvelctl PATH [--lines N] [--size BYTES] "
                     "[--station one|separate] [--phases alone,sx-alone,station,sx] "
                     "[--ports device|com] [--rounds R]\n");
        return 2;
    }
    o.tirvelctl = fs::absolute(o.tirvelctl).string();
    std::vector<std::uint8_t> image(o.size);
    std::uint32_t x = 1;
    for (auto& b : image) {
        x = x * 1664525U + 1013904223U;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    const fs::path root =
        fs::temp_directory_path() / ("station-bench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    {
        std::ofstream f(root / "image.bin", std::ios::binary);
        f.write(reinterpret_cast<const char*>(image.data()),
                static_cast<std::streamsize>(image.size()));
    }
    const std::size_t blocks = (o.size + 127) / 128;
    const double bound = static_cast<double>(blocks * 133) / bench::kLineBytesPerSecond;
    std::printf(
        "%zu bytes (%zu blocks, CRC-16) on each of %d paced 115200 baud 8N1 lines, "
        "receiver lrzsz rx; bound %.2f s a line\n",
        o.size, blocks, o.lines, bound);
    std::printf("station: %s\n", !o.oneCommand ? "a tirvelctl per line, started together"
                                 : o.byCom     ? "one tirvelctl -p 1-N, COM N linked to line N"
                                               : "one tirvelctl with a --device per line");
    std::printf("%-9s %-9s %4s %9s %9s %9s\n", "phase", "sender", "line", "seconds", "of bound",
                "of alone");
    bool allOk = true;
    std::map<std::string, std::vector<Figures>> figures;
    for (int round = 1; round <= o.rounds; ++round) {
        if (o.rounds > 1) {
            std::printf("round %d of %d\n", round, o.rounds);
        }
        double alone = 0;  // each round against its own send alone
        for (const std::string& phase : o.phases) {
            const bool sx = phase == "sx" || phase == "sx-alone";
            const int count = phase == "alone" || phase == "sx-alone" ? 1 : o.lines;
            const PhaseResult r =
                RunPhase(o, root, phase, sx ? Kind::kSx : Kind::kOurs, count, image);
            if (phase == "alone" && r.ok) {
                alone = r.lines[0].seconds;
            }
            allOk = allOk && r.ok;
            figures[phase].push_back(Print(phase, sx ? "sx" : "tirvelctl", r, bound, alone));
        }
    }
    std::printf("\nmedians over %d round(s): %-9s %18s %16s %18s\n", o.rounds, "phase",
                "slowest line/alone", "lines x alone", "CPU % core/port");
    for (const std::string& phase : o.phases) {
        auto& list = figures[phase];
        if (list.empty()) {
            continue;
        }
        std::vector<double> worst, times, cpu;
        for (const Figures& f : list) {
            worst.push_back(f.worstOfAlone);
            times.push_back(f.timesAlone);
            cpu.push_back(f.cpuPercentPerPort);
        }
        std::printf("%-26s %-9s %18.3f %16.2f %18.2f\n", "", phase.c_str(), Median(worst),
                    Median(times), Median(cpu));
        list.clear();
    }
    fs::remove_all(root);
    return allOk ? 0 : 1;
}
