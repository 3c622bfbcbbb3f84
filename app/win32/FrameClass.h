// What the shell's top-level windows do alike: their class registered once,
// with the application's icons, and a procedure that links the window to its
// object (given as the creation parameter) and hands the object every message
// from WM_NCCREATE to WM_NCDESTROY.
#pragma once

#include "framework/win32/Win32Api.h"

namespace app::win32 {

// True when the class exists, registered now or before.
bool RegisterFrameClass(const wchar_t* name, WNDPROC procedure, HCURSOR cursor, HBRUSH background);

// Frame keeps its window in hwnd_ and takes messages in OnMessage; it makes
// this procedure a friend.
template <typename Frame>
LRESULT CALLBACK FrameProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* frame = static_cast<Frame*>(create->lpCreateParams);
        frame->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
    }
    auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (frame == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        frame->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return frame->OnMessage(message, wParam, lParam);
}

}  // namespace app::win32
