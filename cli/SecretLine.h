// The password prompt's input: one line typed without echo.
#pragma once

#include <optional>
#include <string>

namespace cli {

inline constexpr int kStdinFd = 0;

// Reads one line from a terminal without echo; nothing on end of input or
// when wakeFd becomes readable first (-1: no such descriptor). On Windows
// Ctrl+C ends a console read by itself and wakeFd is not used.
std::optional<std::string> ReadSecretLine(int fd, int wakeFd);

}  // namespace cli
