#include "Pty.h"

// termios2 (arbitrary baud rates via BOTHER) lives in the kernel header, which
// cannot be combined with <termios.h>.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace kavrelsim {

Pty::Pty() {
    Open();
}

void Pty::Replace() {
    // All of the old one goes but its master, which waits for Unplug.
    const int master = std::exchange(master_, -1);
    Close();
    oldMaster_ = master;
    try {
        Open();
    } catch (...) {
        master_ = std::exchange(oldMaster_, -1);
        throw;
    }
}

void Pty::Unplug() {
    if (oldMaster_ >= 0) {
        ::close(oldMaster_);
        oldMaster_ = -1;
    }
}

void Pty::Close() {
    Unplug();
    if (inotify_ >= 0) {
        ::close(inotify_);
        inotify_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    ownCloses_ = 0;
}

void Pty::Open() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        throw std::runtime_error(std::string("posix_openpt: ") + std::strerror(errno));
    }
    char name[128] = {};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        int err = errno;
        ::close(master_);
        throw std::runtime_error(std::string("pseudo-terminal setup: ") + std::strerror(err));
    }
    slavePath_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    // Opening and closing the slave once makes the master report a hang-up
    // until the tool opens it, which is how the tool's open is noticed. While
    // it is open, make it raw: a terminal line discipline would echo the
    // device's output back to it and rewrite "\r" on the way.
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        int err = errno;
        ::close(master_);
        throw std::runtime_error(slavePath_ + ": " + std::strerror(err));
    }
    struct termios2 t {};
    if (::ioctl(slave, TCGETS2, &t) == 0) {
        t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                            ICRNL | IXON | IXOFF);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
        t.c_cflag |= CS8;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ::ioctl(slave, TCSETS2, &t);
    }
    ::close(slave);

    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ >= 0 &&
        ::inotify_add_watch(inotify_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(inotify_);
        inotify_ = -1;
    }
}

Pty::~Pty() {
    Close();
}

bool Pty::SlaveOpen() const {
    pollfd pfd{master_, 0, 0};
    ::poll(&pfd, 1, 0);
    return (pfd.revents & POLLHUP) == 0;
}

std::optional<LineSettings> Pty::Settings() const {
    struct termios2 t {};
    if (::ioctl(master_, TCGETS2, &t) != 0) {
        return std::nullopt;
    }
    LineSettings s;
    s.baud = t.c_ospeed;
    const tcflag_t size = t.c_cflag & CSIZE;
    s.dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    if (t.c_cflag & PARENB) {
        bool odd = (t.c_cflag & PARODD) != 0;
        s.parity = (t.c_cflag & CMSPAR) ? (odd ? 'M' : 'S') : (odd ? 'O' : 'E');
    } else {
        s.parity = 'N';
    }
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return s;
}

int Pty::TakeCloses() {
    if (inotify_ < 0) {
        return 0;
    }
    int closes = 0;
    alignas(inotify_event) char buf[4096];
    for (;;) {
        ssize_t n = ::read(inotify_, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buf + at);
            if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                ++closes;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    const int own = std::min(closes, ownCloses_);
    ownCloses_ -= own;
    return closes - own;
}

void Pty::Flush() {
    // What the device wrote waits in the slave's input queue, which survives a
    // close and which a flush on the master does not reach: flush it from the
    // slave side. Closing again leaves the master reporting a hang-up, as
    // before. If the tool has left TIOCEXCL set, the open fails (unless we run
    // as root) and the bytes stay; the tool's own flush on set-up has to do.
    int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        ::ioctl(slave, TCFLSH, TCIOFLUSH);
        ++ownCloses_;
        ::close(slave);
    }
    ::ioctl(master_, TCFLSH, TCIOFLUSH);
}

}  // namespace kavrelsim
