#include "cli/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

bool EnableCursorControl(int fd) {
    return IsTerminal(fd);
}

int TerminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace cli
