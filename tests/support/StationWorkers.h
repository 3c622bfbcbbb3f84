// The station's worker processes as an operator finds them with ps: for the
// cases that kill one to see what the station makes of it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// The pids of the workers running on one port (its COM number's path or
// device path as the workers were given it).
std::vector<pid_t> WorkersOn(const std::string& port);

}  // namespace testsupport
