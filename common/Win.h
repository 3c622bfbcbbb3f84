// The small vocabulary of the window layer: message and command numbers, show
// commands, message-box flags and dialog results, with the values the desktop
// conventions give them so that resource IDs and handlers read the same
// everywhere. It lies below every layer, as a desktop system's own headers
// do: the resources are written in it and the window layer speaks it.
#pragma once

#include <cstdint>

namespace fw {

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr UINT WM_COMMAND = 0x0111;  // wParam: command or control ID
inline constexpr UINT WM_TIMER = 0x0113;    // wParam: timer ID
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_USER = 0x0400;

// An edit control tells its window that the user changed its text with
// WM_COMMAND, wParam = MAKEWPARAM(control ID, EN_CHANGE). Command handlers that
// compare the whole wParam never mistake it for a command.
inline constexpr UINT EN_CHANGE = 0x0300;
// A radio button's click comes the same way, as (ID, BN_CLICKED); BN_CLICKED is
// 0, so the wParam is the bare ID, as a push button's. A drop-down list tells
// of an item chosen from its list, of typing in its edit part and, before its
// list shows, that it drops down: the window may fill the list then.
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT CBN_SELCHANGE = 1;
inline constexpr UINT CBN_EDITCHANGE = 5;
inline constexpr UINT CBN_DROPDOWN = 7;

constexpr WPARAM MAKEWPARAM(unsigned low, unsigned high) {
    return static_cast<WPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr unsigned LOWORD(WPARAM value) {
    return static_cast<unsigned>(value & 0xFFFFu);
}
constexpr unsigned HIWORD(WPARAM value) {
    return static_cast<unsigned>((value >> 16) & 0xFFFFu);
}

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_YESNOCANCEL = 0x00000003;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_ICONINFORMATION = 0x00000040;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

}  // namespace fw
