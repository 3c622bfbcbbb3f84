// A window procedure for windows that are objects: the object comes as the
// creation parameter, keeps its window in hwnd_ and takes every message from
// WM_NCCREATE on in OnMessage; at WM_NCDESTROY the two are parted, so that
// the object holds no handle of a window that is gone. The class makes the
// procedure a friend.
#pragma once

#include "framework/win32/Win32Api.h"

namespace fw::win32 {

template <typename Object>
LRESULT CALLBACK WindowObjectProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* object = static_cast<Object*>(create->lpCreateParams);
        object->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    }
    auto* object = reinterpret_cast<Object*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (object == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        object->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return object->OnMessage(message, wParam, lParam);
}

}  // namespace fw::win32
