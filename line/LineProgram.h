// tirvel-line's command line: serve, or make a token or a login.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace line {

// The exit code: 0 done, 1 failed, 2 a usage error. Serving returns when
// SIGINT or SIGTERM comes.
int RunLineProgram(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& err);

}  // namespace line
