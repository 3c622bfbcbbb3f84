#include "app/win32/LockKeys.h"

#include "framework/win32/Win32Api.h"

namespace app::win32 {

LockKeyState QueryLockKeys() {
    // The low bit of a toggle key's state is its light.
    LockKeyState state;
    state.caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
    state.num = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    state.scroll = (GetKeyState(VK_SCROLL) & 1) != 0;
    return state;
}

}  // namespace app::win32
