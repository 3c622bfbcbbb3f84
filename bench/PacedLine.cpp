#include "PacedLine.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <utility>

namespace bench {

namespace {

using std::chrono::nanoseconds;

constexpr nanoseconds kByteTime{static_cast<long long>(1e9 / kLineBytesPerSecond)};

}  // namespace

Pty OpenPty() {
    Pty p;
    p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (p.master < 0 || ::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    p.slave = ::ptsname(p.master);
    return p;
}

int OpenRawSlave(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void Pace(int from, int to, const std::atomic<bool>& stop, LineTimes* times) {
    struct Pending {
        unsigned char byte;
        Clock::time_point due;
    };
    std::deque<Pending> queue;
    Clock::time_point lineFree = Clock::now();
    std::vector<unsigned char> out;
    while (!stop.load(std::memory_order_relaxed)) {
        nanoseconds wait = std::chrono::milliseconds(20);
        if (!queue.empty()) {
            wait = std::max(nanoseconds(0), queue.front().due - Clock::now());
        }
        pollfd p{from, POLLIN, 0};
        const timespec ts{static_cast<time_t>(wait.count() / 1'000'000'000),
                          static_cast<long>(wait.count() % 1'000'000'000)};
        if (::ppoll(&p, 1, &ts, nullptr) > 0 && (p.revents & POLLIN) != 0) {
            unsigned char buffer[4096];
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            const Clock::time_point now = Clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                lineFree = std::max(lineFree, now) + kByteTime;
                queue.push_back({buffer[i], lineFree});
            }
            if (times != nullptr && n > 0 && times->firstIn.load() == 0) {
                times->firstIn = now.time_since_epoch().count();
            }
        } else if ((p.revents & (POLLHUP | POLLERR)) != 0 && queue.empty()) {
            ::poll(nullptr, 0, 1);  // nobody on that side at the moment
        }
        const Clock::time_point now = Clock::now();
        out.clear();
        while (!queue.empty() && queue.front().due <= now) {
            out.push_back(queue.front().byte);
            queue.pop_front();
        }
        std::size_t done = 0;
        while (done < out.size() && !stop.load(std::memory_order_relaxed)) {
            const ssize_t n = ::write(to, out.data() + done, out.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break;  // the far end is gone (a stopped simulator): the bytes are lost
            } else {
                pollfd w{to, POLLOUT, 0};
                ::poll(&w, 1, 10);
            }
        }
        if (times != nullptr && !out.empty()) {
            times->lastOut = Clock::now().time_since_epoch().count();
        }
    }
}

void ExecIn(const std::filesystem::path& dir, std::vector<std::string> args) {
    if (::chdir(dir.c_str()) != 0) {
        ::_exit(126);
    }
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

pid_t Spawn(int fd, const std::string& tty, const std::filesystem::path& dir,
            std::vector<std::string> args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (fd < 0) {
            fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY);
        }
        ::dup2(fd, 0);
        ::dup2(fd, 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ExecIn(dir, std::move(args));
    }
    return pid;
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

}  // namespace bench
