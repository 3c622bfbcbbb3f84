// A loopback TCP port for a server the test starts.
#pragma once

#include <cstdint>

namespace testsupport {

// A port nobody listens on now. The program handed it takes it a moment
// later; on a test machine nothing takes it in between.
std::uint16_t FreeLoopbackPort();

}  // namespace testsupport
