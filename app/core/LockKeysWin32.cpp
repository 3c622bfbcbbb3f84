#include <windows.h>

#include "app/core/LockKeys.h"

namespace app {

LockKeyState QueryLockKeys() {
    LockKeyState state;
    // The low bit of a toggle key's state is its light.
    state.caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
    state.num = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    state.scroll = (GetKeyState(VK_SCROLL) & 1) != 0;
    return state;
}

}  // namespace app
