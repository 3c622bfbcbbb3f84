#include "cli/Terminal.h"

#include <io.h>
#include <windows.h>

namespace cli {

bool IsTerminal(int fd) {
    // _isatty also says yes for NUL and other character devices; only a
    // console answers for its mode.
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode) != 0;
}

bool EnableCursorControl(int fd) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode) == 0) {
        return false;
    }
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns(int fd) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &info) != 0) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
    return 80;
}

}  // namespace cli
