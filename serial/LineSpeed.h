// Line rates the portable termios interface cannot express (no B-constant).
#pragma once

#include <cstdint>

namespace serial::detail {

// Sets input and output rate of the terminal to any rate the driver accepts,
// through termios2 and BOTHER. Linux only; false when the driver refuses.
bool SetArbitraryLineSpeed(int fd, std::uint32_t baud);

}  // namespace serial::detail
