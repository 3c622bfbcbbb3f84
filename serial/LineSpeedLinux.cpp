// <asm/termbits.h> declares its own struct termios, which collides with the
// one from <termios.h>; this file is the only one that includes it.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "serial/LineSpeed.h"

namespace serial::detail {

bool SetArbitraryLineSpeed(int fd, std::uint32_t baud) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    // The input rate field is cleared, meaning "as output", as the standard
    // rates leave it; c_ispeed is filled in for drivers that read it anyway.
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
    t.c_cflag |= BOTHER;
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace serial::detail
