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

PseudoTerminal::PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128] = {};
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        if (master_ >= 0) {
            ::close(master_);
        }
        throw std::runtime_error("no pseudo-terminal available");
    }
    slavePath_ = name;
    // Raw slave defaults: without them, bytes written here would be echoed back
    // before the code under test applies its own settings.
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        struct termios2 t {};
        if (::ioctl(slave, TCGETS2, &t) == 0) {
            t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                                ICRNL | IXON);
            t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
            t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
            ::ioctl(slave, TCSETS2, &t);
        }
        ::close(slave);
    }
}

PseudoTerminal::~PseudoTerminal() {
    if (master_ >= 0) {
        ::close(master_);
    }
}

void PseudoTerminal::Write(std::string_view bytes) const {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(master_, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                pollfd pfd{master_, POLLOUT, 0};
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
        pollfd pfd{master_, POLLIN, 0};
        int r = ::poll(&pfd, 1, RemainingMs(deadline));
        if (r > 0 && (pfd.revents & POLLIN)) {
            char buf[512];
            ssize_t n = ::read(master_, buf, sizeof buf);
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
    struct termios2 t {};
    LineSettings s;
    if (::ioctl(master_, TCGETS2, &t) != 0) {
        return s;
    }
    s.baud = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
        case CS5:
            s.dataBits = 5;
            break;
        case CS6:
            s.dataBits = 6;
            break;
        case CS7:
            s.dataBits = 7;
            break;
        default:
            s.dataBits = 8;
            break;
    }
    if (t.c_cflag & PARENB) {
        bool odd = (t.c_cflag & PARODD) != 0;
        if (t.c_cflag & CMSPAR) {
            s.parity = odd ? 'M' : 'S';
        } else {
            s.parity = odd ? 'O' : 'E';
        }
    }
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    s.rtsCts = (t.c_cflag & CRTSCTS) != 0;
    s.xonXoff = (t.c_iflag & IXON) && (t.c_iflag & IXOFF);
    s.raw = !(t.c_lflag & (ICANON | ECHO)) && !(t.c_oflag & OPOST);
    return s;
}

bool PseudoTerminal::SlaveIsOpen() const {
    pollfd pfd{master_, 0, 0};
    ::poll(&pfd, 1, 0);
    return (pfd.revents & POLLHUP) == 0;
}

}  // namespace testsupport
