// String values of an open registry key, as both remembered settings (the
// recent files, the station's last job) keep theirs.
#pragma once

#include "framework/win32/Win32Api.h"

#include <string>

namespace app::win32 {

// "" when the value is missing or no string.
std::wstring ReadRegistryString(HKEY section, const std::wstring& name);
void WriteRegistryString(HKEY section, const std::wstring& name, const std::wstring& value);

}  // namespace app::win32
