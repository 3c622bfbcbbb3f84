#include "app/win32/ProgramOutput.h"

#include "framework/win32/Win32Api.h"

#include "framework/win32/Win32Host.h"

namespace app::win32 {

// A GUI program has a console only when its parent has one (or its output is
// redirected); without either the text goes into a message box.
void PrintOrShow(const std::string& text, bool error, const std::string& caption) {
    HANDLE handle = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            handle = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        }
    }
    const std::string line = text + "\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring wide = fw::win32::Widen(line);
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else if (handle != nullptr && handle != INVALID_HANDLE_VALUE &&
               WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    } else {
        MessageBoxW(nullptr, fw::win32::Widen(text).c_str(), fw::win32::Widen(caption).c_str(),
                    error ? MB_ICONERROR | MB_OK : MB_ICONINFORMATION | MB_OK);
    }
}

}  // namespace app::win32
