#include "cli/Terminal.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cli {

bool IsTerminal(int fd) {
#ifdef _WIN32
    // _isatty also says yes for NUL and other character devices; only a
    // console answers for its mode.
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode) != 0;
#else
    return ::isatty(fd) == 1;
#endif
}

}  // namespace cli
