// Several paced lines at once (PacedLine.h), each with lrzsz's rx at the far
// end: one tirvelctl send on one line alone, then tirvelctl on N lines at once
// (one command with N --device, or N separate commands), then N lrzsz sx at
// once. For every line: the time from the sender's first byte to the last byte
// the receiver sent (its answer to the EOT), against the line-rate bound and
// against the one send alone; for each command its CPU time per port, its own
// and that of the workers it reaped.
//
//   station_bench --tirvelctl PATH [--lines N] [--size BYTES]
//                 [--station one|separate|window] [--phases alone,sx-alone,station,sx]
//                 [--ports device|com] [--rounds R] [--xserver PID]
//
// tirvelctl purges the port's input when it sets the line up, so each line's
// rx starts only once the sender has set the line's speed (the bench leaves the
// slave at 9600 until then): a start signal sent earlier would be thrown away
// and the sender would wait for rx's next one, seconds later.
//
// --station window: the station window (tirvel-station beside tirvelctl, on
// the display in DISPLAY) updates the N lines, and a single-port tirvelctl
// update is the one alone. An update needs a boot loader, which rx is not, so
// each line's far end is a kavrel-sim (beside tirvelctl too) behind the paced
// line: the bench switches it on (opens the simulator's side) once the sender
// has set the line's speed, and a line's time runs from then to the loader's
// answer to the EOT. The window has no end of its own: once its report has a
// row for every line and its workers are gone, the bench sends it SIGTERM.
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
#include "Percentiles.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::MedianRange;

constexpr std::chrono::milliseconds kSettle{200};  // from the line's set-up to rx's start

enum class Kind { kOurs, kSx, kWindow };

struct Options {
    std::string tirvelctl;
    int lines = 4;
    std::size_t size = 256 * 1024;
    bool oneCommand = true;
    bool window = false;  // the station window updates kavrel-sims instead
    bool byCom = false;   // -p 1-N through COM links instead of --device paths
    int rounds = 1;
    pid_t xserver = 0;  // whose CPU time each phase reports, when given
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
    pid_t rx = -1;    // or the kavrel-sim at the far end
    int device = -1;  // the simulator's side of its pseudo-terminal, once switched on
    std::optional<Clock::time_point> setUp;  // when the sender set the line's speed
    bool rxOk = false;
};

struct Command {
    pid_t pid = -1;
    bool done = false;
    bool ok = false;
    bool terminated = false;  // by the bench, once its work was done
    double seconds = 0;
    double cpuSeconds = 0;
    double selfSeconds = 0;      // of cpuSeconds, the process's own
    double childrenSeconds = 0;  // and the workers it reaped
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
    double selfSeconds = 0;
    double childrenSeconds = 0;
    // The window's own CPU time from the first line switched on to its report's
    // last row, and how long that was.
    double workingCpuSeconds = 0;
    double workingSeconds = 0;
    double xserverSeconds = 0;
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

struct ProcessTimes {
    double self = 0;      // utime + stime
    double children = 0;  // cutime + cstime: the children it waited for
};

// Also readable from a zombie, which is how a command's own share is told
// from its workers' before it is reaped.
ProcessTimes ReadTimes(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat{std::istreambuf_iterator<char>(in), {}};
    ProcessTimes t;
    const auto name = stat.rfind(')');
    if (name == std::string::npos) {
        return t;
    }
    std::istringstream fields(stat.substr(name + 1));
    std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
    if (f.size() < 15) {  // f[0] is field 3 of proc(5), the state
        return t;
    }
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    t.self = (std::stod(f[11]) + std::stod(f[12])) / tick;
    t.children = (std::stod(f[13]) + std::stod(f[14])) / tick;
    return t;
}

bool HasChildren(pid_t parent) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream in(entry.path() / "stat");
        std::string stat{std::istreambuf_iterator<char>(in), {}};
        const auto name = stat.rfind(')');
        std::istringstream fields(name == std::string::npos ? "" : stat.substr(name + 1));
        std::string state;
        pid_t ppid = 0;
        if (fields >> state >> ppid && ppid == parent) {
            return true;
        }
    }
    return false;
}

int ReportRows(const fs::path& csv) {
    std::ifstream in(csv);
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
        ++lines;
    }
    return std::max(0, lines - 1);
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
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(c.pid), &info,
                 WEXITED | WNOWAIT | (block ? 0 : WNOHANG)) != 0 ||
        info.si_pid != c.pid) {
        return false;
    }
    const ProcessTimes times = ReadTimes(c.pid);
    int status = 0;
    rusage usage{};
    ::wait4(c.pid, &status, 0, &usage);
    c.done = true;
    c.ok = (WIFEXITED(status) && WEXITSTATUS(status) == 0) ||
           (c.terminated && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    // A reaped child's figures include the descendants it waited for: the
    // station's workers count with their supervisor.
    c.cpuSeconds = bench::Seconds(usage.ru_utime) + bench::Seconds(usage.ru_stime);
    c.selfSeconds = times.self;
    c.childrenSeconds = times.children;
    return true;
}

bool LineSetUp(const Line& line) {
    termios t{};
    return ::tcgetattr(line.hold, &t) == 0 && ::cfgetospeed(&t) != B9600;
}

std::vector<std::string> RxArgs() {
    return {"rx", "-b", "-q", "-c", "image.bin"};
}

fs::path Beside(const Options& o, const std::string& program) {
    return fs::path(o.tirvelctl).parent_path() / program;
}

// One device, switched on when the bench opens the link; a quiet application
// after its update, so the loader's answer to the EOT is the line's last byte.
pid_t StartSim(const Options& o, const Line& line) {
    const fs::path silence = line.out / "debug.txt";
    std::ofstream{silence};
    return SpawnLogged(line.out, line.out / "sim.log",
                       {Beside(o, "kavrel-sim").string(), "--link", (line.out / "device").string(),
                        "--devices", "1", "--boot-ms", "200", "--start", "crc", "--debug-text",
                        silence.string(), "--firmware-out", (line.out / "image.bin").string(),
                        "--events", (line.out / "events.json").string()});
}

int SwitchOn(const Line& line) {
    for (int i = 0; i < 200 && !fs::exists(line.out / "device"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const int fd = bench::OpenRawSlave((line.out / "device").string());
    if (fd < 0) {
        throw std::runtime_error("kavrel-sim's line cannot be opened");
    }
    ::fcntl(fd, F_SETFL, O_NONBLOCK);  // a stalled simulator must not hold the relay
    // The simulator hears the line only at the loader's own rate.
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfsetspeed(&t, B115200);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void StartRelays(Line& line, int farEnd, const std::atomic<bool>& stop) {
    line.upRelay = std::thread(bench::Pace, line.pty.master, farEnd, std::cref(stop), &line.up);
    line.downRelay = std::thread(bench::Pace, farEnd, line.pty.master, std::cref(stop), &line.down);
}

std::vector<std::string> SenderArgs(const Options& o, const fs::path& root,
                                    const std::vector<std::unique_ptr<Line>>& lines, Kind kind) {
    const std::string image = (root / "image.bin").string();
    const int count = static_cast<int>(lines.size());
    std::vector<std::string> args{kind == Kind::kWindow ? Beside(o, "tirvel-station").string()
                                                        : o.tirvelctl};
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
    if (kind == Kind::kWindow) {
        args.insert(args.end(), {"--firmware", image, "--count", std::to_string(count), "--report",
                                 (root / "report.csv").string(), "--start"});
    } else {
        args.insert(args.end(), {o.window ? "update" : "send", image});
    }
    return args;
}

PhaseResult RunPhase(const Options& o, const fs::path& root, const std::string& name, Kind kind,
                     int count, const std::vector<std::uint8_t>& image) {
    const fs::path dir = root / name;
    fs::remove_all(dir);  // no image from an earlier round passes for this one's
    fs::create_directories(dir);
    const fs::path imagePath = root / "image.bin";
    fs::remove(root / "report.csv");
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
        line->out = dir / ("line" + std::to_string(i + 1));
        fs::create_directories(line->out);
        if (o.window) {
            line->rx = StartSim(o, *line);
        } else {
            if (::socketpair(AF_UNIX, SOCK_STREAM, 0, line->socket) != 0) {
                throw std::runtime_error("no socket pair");
            }
            ::fcntl(line->socket[0], F_SETFL, O_NONBLOCK);
            StartRelays(*line, line->socket[0], stop);
        }
        lines.push_back(std::move(line));
    }
    const double relay0 = SelfCpuSeconds();
    const double xserver0 = o.xserver ? ReadTimes(o.xserver).self : 0;

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
        if (o.oneCommand || count == 1 || kind == Kind::kWindow) {
            commands.push_back(
                {SpawnLogged(root, dir / (kind == Kind::kWindow ? "window.log" : "tirvelctl.log"),
                             SenderArgs(o, root, lines, kind))});
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
    std::optional<Clock::time_point> firstOn;
    double windowAtFirstOn = 0;
    for (;;) {
        bool allDone = true;
        for (auto& c : commands) {
            if (!c.done && Reap(c, false)) {
                c.seconds = Since(start);
            }
            allDone = allDone && c.done;
        }
        for (auto& line : lines) {
            if (o.window ? line->device >= 0 : line->rx >= 0) {
                continue;
            }
            if (!line->setUp && LineSetUp(*line)) {
                line->setUp = Clock::now();
            }
            if (line->setUp && Clock::now() - *line->setUp >= kSettle) {
                if (!o.window) {
                    line->rx = bench::Spawn(line->socket[1], "", line->out, RxArgs());
                    continue;
                }
                line->device = SwitchOn(*line);
                line->up.firstIn = Clock::now().time_since_epoch().count();
                StartRelays(*line, line->device, stop);
                if (!firstOn) {
                    firstOn = Clock::now();
                    windowAtFirstOn = ReadTimes(commands[0].pid).self;
                }
            }
        }
        if (kind == Kind::kWindow && !commands[0].done && !commands[0].terminated &&
            ReportRows(root / "report.csv") >= count && !HasChildren(commands[0].pid)) {
            if (firstOn) {
                result.workingCpuSeconds = ReadTimes(commands[0].pid).self - windowAtFirstOn;
                result.workingSeconds = Since(*firstOn);
            }
            commands[0].terminated = true;
            ::kill(commands[0].pid, SIGTERM);
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
        result.selfSeconds += c.selfSeconds;
        result.childrenSeconds += c.childrenSeconds;
        result.ok = result.ok && c.ok;
    }
    if (o.xserver) {
        result.xserverSeconds = ReadTimes(o.xserver).self - xserver0;
    }

    // rx answers the EOT, then writes out the file and exits; the simulator
    // wrote its image at the EOT and is stopped.
    for (auto& line : lines) {
        int status = 0;
        if (line->rx < 0) {
            continue;
        }
        if (o.window) {
            ::kill(line->rx, SIGTERM);
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
        if (line->upRelay.joinable()) {
            line->upRelay.join();
            line->downRelay.join();
        }
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
        for (int fd :
             {line->hold, line->pty.master, line->socket[0], line->socket[1], line->device}) {
            if (fd >= 0) {
                ::close(fd);
            }
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
    double selfPercentPerPort = 0;      // the command itself (the window, the supervisor)
    double childrenPercentPerPort = 0;  // its workers
};

double PercentPerPort(double cpu, double wall, double ports) {
    return wall > 0 ? 100 * cpu / wall / ports : 0.0;
}

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
    f.cpuPercentPerPort = PercentPerPort(r.cpuSeconds, r.wallSeconds, n);
    f.selfPercentPerPort = PercentPerPort(r.selfSeconds, r.wallSeconds, n);
    f.childrenPercentPerPort = PercentPerPort(r.childrenSeconds, r.wallSeconds, n);
    f.worstOfAlone = 1e9;
    for (const LineResult& l : r.lines) {
        f.worstOfAlone = std::min(f.worstOfAlone, l.ok && alone > 0 ? alone / l.seconds : 0);
    }
    std::printf(
        "%-9s %-9s  all: wall %.2f s, span %.2f s, %.2f x one alone (sum of the lines' "
        "rates), CPU %.3f s = %.2f %% of a core per port (itself %.2f %%, workers %.2f %%); "
        "relays %.1f s, far ends %.1f s CPU\n",
        name.c_str(), sender.c_str(), r.wallSeconds, r.spanSeconds, sum, r.cpuSeconds,
        f.cpuPercentPerPort, f.selfPercentPerPort, f.childrenPercentPerPort, r.relaySeconds,
        r.rxSeconds);
    if (r.workingSeconds > 0) {
        std::printf(
            "%-9s %-9s  the window alone from the first line on to its report's last row: "
            "%.3f s CPU in %.2f s = %.2f %% of a core per port\n",
            name.c_str(), sender.c_str(), r.workingCpuSeconds, r.workingSeconds,
            PercentPerPort(r.workingCpuSeconds, r.workingSeconds, n));
    }
    if (r.xserverSeconds > 0) {
        std::printf("%-9s %-9s  X server: %.3f s CPU = %.2f %% of a core per port\n", name.c_str(),
                    sender.c_str(), r.xserverSeconds,
                    PercentPerPort(r.xserverSeconds, r.wallSeconds, n));
    }
    std::fflush(stdout);
    return f;
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
            o.window = value == "window";
            if (o.window) {
                o.phases = {"alone", "station"};
            }
        } else if (option == "--xserver") {
            o.xserver = static_cast<pid_t>(std::stoi(value));
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
                     "[--station one|separate|window] [--phases alone,sx-alone,station,sx] "
                     "[--ports device|com] [--rounds R] [--xserver PID]\n");
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
        "receiver %s; bound %.2f s a line\n",
        o.size, blocks, o.lines,
        o.window ? "kavrel-sim's boot loader (a line from switch-on to its answer to the EOT)"
                 : "lrzsz rx",
        bound);
    std::printf("station: %s\n",
                o.window        ? "the station window (tirvel-station --start), one update alone "
                                  "by tirvelctl"
                : !o.oneCommand ? "a tirvelctl per line, started together"
                : o.byCom       ? "one tirvelctl -p 1-N, COM N linked to line N"
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
            if (sx && o.window) {
                std::printf("%-9s skipped: sx cannot answer a boot loader\n", phase.c_str());
                continue;
            }
            const int count = phase == "alone" || phase == "sx-alone" ? 1 : o.lines;
            const Kind kind = sx                               ? Kind::kSx
                              : o.window && phase == "station" ? Kind::kWindow
                                                               : Kind::kOurs;
            const PhaseResult r = RunPhase(o, root, phase, kind, count, image);
            if (phase == "alone" && r.ok) {
                alone = r.lines[0].seconds;
            }
            allOk = allOk && r.ok;
            figures[phase].push_back(Print(phase,
                                           kind == Kind::kSx       ? "sx"
                                           : kind == Kind::kWindow ? "window"
                                                                   : "tirvelctl",
                                           r, bound, alone));
        }
    }
    std::printf("\nmedian (min-max) over %d round(s), CPU in %% of a core per port\n", o.rounds);
    std::printf("%-9s %-22s %-22s %-22s %-22s %-22s\n", "phase", "slowest line/alone",
                "lines x alone", "CPU", "itself", "workers");
    for (const std::string& phase : o.phases) {
        auto& list = figures[phase];
        if (list.empty()) {
            continue;
        }
        std::vector<double> worst, times, cpu, self, children;
        for (const Figures& f : list) {
            worst.push_back(f.worstOfAlone);
            times.push_back(f.timesAlone);
            cpu.push_back(f.cpuPercentPerPort);
            self.push_back(f.selfPercentPerPort);
            children.push_back(f.childrenPercentPerPort);
        }
        std::printf("%-9s %-22s %-22s %-22s %-22s %-22s\n", phase.c_str(),
                    MedianRange(worst, 3).c_str(), MedianRange(times, 2).c_str(),
                    MedianRange(cpu, 2).c_str(), MedianRange(self, 2).c_str(),
                    MedianRange(children, 2).c_str());
        list.clear();
    }
    if (allOk) {
        fs::remove_all(root);
    } else {
        std::printf("the logs are kept in %s\n", root.c_str());
    }
    return allOk ? 0 : 1;
}
