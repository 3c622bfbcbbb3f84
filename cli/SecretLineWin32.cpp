#include <io.h>
#include <windows.h>

#include "cli/SecretLine.h"

#include "common/Utf16Win32.h"

namespace cli {
namespace {

std::optional<std::string> ReadConsoleLine(HANDLE input) {
    DWORD saved = 0;
    ::GetConsoleMode(input, &saved);
    ::SetConsoleMode(input, (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                                ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::wstring line;
    bool complete = false;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        // Ctrl+C makes the read return with nothing: the prompt is abandoned.
        if (!::ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) {
            break;
        }
        if (c == L'\n' || c == L'\r') {
            complete = true;
            if (c == L'\r') {
                ::ReadConsoleW(input, &c, 1, &got, nullptr);  // the '\n' after it
            }
            break;
        }
        line += c;
    }
    ::SetConsoleMode(input, saved);
    if (!complete) {
        return std::nullopt;
    }
    return ToUtf8(line);
}

std::optional<std::string> ReadPipedLine(HANDLE input) {
    std::string line;
    for (;;) {
        char c = 0;
        DWORD got = 0;
        if (!::ReadFile(input, &c, 1, &got, nullptr) || got == 0) {
            return std::nullopt;
        }
        if (c == '\n' || c == '\r') {
            return line;
        }
        line += c;
    }
}

}  // namespace

std::optional<std::string> ReadSecretLine(int fd, int /*wakeFd*/) {
    const auto input = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (input == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    DWORD mode = 0;
    if (::GetConsoleMode(input, &mode)) {
        return ReadConsoleLine(input);
    }
    return ReadPipedLine(input);
}

}  // namespace cli
