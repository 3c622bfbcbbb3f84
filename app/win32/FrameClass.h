// What the shell's top-level windows do alike: their class registered once,
// with the application's icons, and the procedure of a window that is an
// object (fw::win32::WindowObjectProcedure).
#pragma once

#include "framework/win32/Win32Api.h"
#include "framework/win32/Win32WindowObject.h"

namespace app::win32 {

// True when the class exists, registered now or before.
bool RegisterFrameClass(const wchar_t* name, WNDPROC procedure, HCURSOR cursor, HBRUSH background);

}  // namespace app::win32
