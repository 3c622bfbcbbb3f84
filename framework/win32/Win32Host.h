// What every window of the Win32 host shares: the rich-edit and common-control libraries loaded
// once, and the conversions between the window layer's UTF-8 and the UTF-16 that the wide-character
// API takes.
#pragma once

#include "framework/win32/Win32Api.h"

#include <string>
#include <string_view>

namespace fw::win32 {

// Loads Msftedit (else RichEdit 2.0) and registers the common controls
// (toolbar, status bar, progress bar). False when no rich-edit library loads.
bool InitWin32Controls();
// The rich-edit window class that InitWin32Controls found ("RICHEDIT50W" or
// "RichEdit20W").
const wchar_t* RichEditClassName();

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace fw::win32
