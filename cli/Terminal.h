// Whether a standard stream is the operator's terminal, which decides prompts
// and progress redrawing.
#pragma once

namespace cli {

inline constexpr int kStdoutFd = 1;
inline constexpr int kStderrFd = 2;

bool IsTerminal(int fd);

// Lets the terminal on fd take cursor movement (ANSI escapes); false where it
// cannot (an old Windows console), which then gets plain lines.
bool EnableCursorControl(int fd);
// Columns of the terminal on fd; 80 when it does not say.
int TerminalColumns(int fd);

}  // namespace cli
