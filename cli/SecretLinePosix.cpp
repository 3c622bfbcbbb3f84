#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "cli/SecretLine.h"

namespace cli {

std::optional<std::string> ReadSecretLine(int fd, int wakeFd) {
    termios saved{};
    const bool terminal = ::tcgetattr(fd, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool complete = false;
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const nfds_t count = wakeFd >= 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (count == 2 && (fds[1].revents & POLLIN) != 0) {
            break;
        }
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) {
            break;
        }
        if (c == '\n' || c == '\r') {
            complete = true;
            break;
        }
        line += c;
    }
    if (terminal) {
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    }
    if (!complete) {
        return std::nullopt;
    }
    return line;
}

}  // namespace cli
