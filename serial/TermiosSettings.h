// The termios side of a port set-up, apart so that it can be checked without a
// device: pseudo-terminals force 8 data bits and no parity whatever is asked.
#pragma once

#include <termios.h>

#include "serial/ComPort.h"

namespace serial::detail {

// Writes rate (when it has a termios constant), data bits, parity, stop bits
// and flow control into t. Values outside their ranges leave their bits alone;
// nothing else in t changes.
void ApplyLineSettings(termios& t, const ComPortSettings& settings);

// The termios constant for a rate, or B0 when it has none.
speed_t StandardSpeed(std::uint32_t baud);

}  // namespace serial::detail
