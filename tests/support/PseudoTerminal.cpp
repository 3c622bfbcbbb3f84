#include "PseudoTerminal.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

void PseudoTerminal::Write(std::string_view bytes) const {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(MasterFd(), p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                pollfd pfd{MasterFd(), POLLOUT, 0};
                ::poll(&pfd, 1, 100);
                continue;
            }
            return;  // the other side is gone: like a device talking to an unplugged cable
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

std::string PseudoTerminal::ReadFor(std::chrono::milliseconds window) const {
    std::string out;
    auto deadline = Clock::now() + window;
    for (;;) {
        pollfd pfd{MasterFd(), POLLIN, 0};
        int r = ::poll(&pfd, 1, RemainingMs(deadline));
        if (r > 0 && (pfd.revents & POLLIN)) {
            char buf[512];
            ssize_t n = ::read(MasterFd(), buf, sizeof buf);
            if (n > 0) {
                out.append(buf, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR && !(pfd.revents & POLLHUP)) {
                return out;
            }
        }
        if (r > 0 && (pfd.revents & POLLHUP)) {
            // Nobody holds the slave: wait out the window without spinning.
            ::poll(nullptr, 0, std::min(RemainingMs(deadline), 10));
        }
        if (RemainingMs(deadline) == 0) {
            return out;
        }
    }
}

std::string PseudoTerminal::ReadUntil(std::string_view marker,
                                      std::chrono::milliseconds timeout) const {
    std::string out;
    auto deadline = Clock::now() + timeout;
    while (out.find(marker) == std::string::npos && RemainingMs(deadline) > 0) {
        out += ReadFor(std::chrono::milliseconds(std::min(RemainingMs(deadline), 10)));
    }
    return out;
}

std::string PseudoTerminal::Drain() const {
    return ReadFor(std::chrono::milliseconds(0));
}

LineSettings PseudoTerminal::Settings() const {
    LineSettings s;
    if (auto line = pty_.Settings()) {
        static_cast<kavrelsim::LineSettings&>(s) = *line;
    }
    // Flow control and raw mode matter to the tool's set-up, not to the device.
    struct termios2 t {};
    if (::ioctl(MasterFd(), TCGETS2, &t) == 0) {
        s.rtsCts = (t.c_cflag & CRTSCTS) != 0;
        s.xonXoff = (t.c_iflag & IXON) && (t.c_iflag & IXOFF);
        s.raw = !(t.c_lflag & (ICANON | ECHO)) && !(t.c_oflag & OPOST);
    }
    return s;
}

}  // namespace testsupport
