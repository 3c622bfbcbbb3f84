// The two lines a Kavrel DTU speaks on, each set up in one way wherever it is
// opened: the running application's AT dialogue, and the boot loader's line
// (also the one its debug log comes on).
#pragma once

#include "serial/ComPort.h"

inline constexpr ComPortSettings kAtLine{28800, 8, 0, 0, kFlowNone};
inline constexpr ComPortSettings kLoaderLine{115200, 8, 0, 0, kFlowNone};
