#include "framework/win32/Win32Api.h"

#include "app/win32/StationApp.h"
#include "app/win32/Tirvel2App.h"

// The ANSI entry point: the arguments are read again as UTF-16 (Chinese file
// names survive whatever the ANSI code page).
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    return app::win32::RunStation(app::win32::CommandLineArguments(), showCommand);
}
