// The state of the Caps, Num and Scroll Lock keys for the status bars.
// Windows tells it (LockKeysWin32.cpp, for both desktops there). Qt tells the
// modifiers but not the locks, so elsewhere the Qt shell asks the window
// system where it knows how (X11, through XKB's named indicators); where it
// cannot (Wayland, the offscreen platform), the state is unknown.
#pragma once

#include <optional>

namespace app {

struct LockKeyState {
    std::optional<bool> caps;
    std::optional<bool> num;
    std::optional<bool> scroll;
};

LockKeyState QueryLockKeys();

}  // namespace app
