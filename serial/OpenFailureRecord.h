// What each system's OpenComPort leaves for LastOpenComPortFailure(): the
// outcome of the calling thread's last open.
#pragma once

#include "serial/ComPort.h"

namespace serial {

// Records why the open failed and returns INVALID_HANDLE_VALUE.
PortHandle OpenFailed(OpenFailure why);
void OpenSucceeded();

}  // namespace serial
