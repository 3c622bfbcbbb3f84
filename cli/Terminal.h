// Whether a standard stream is the operator's terminal, which decides prompts
// and progress redrawing.
#pragma once

namespace cli {

inline constexpr int kStdoutFd = 1;
inline constexpr int kStderrFd = 2;

bool IsTerminal(int fd);

}  // namespace cli
