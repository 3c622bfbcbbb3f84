// The time a call took, for the cases that tell a wait for input from a
// time-out.
#pragma once

#include <chrono>

namespace testsupport {

inline std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

}  // namespace testsupport
