// The state of the Caps, Num and Scroll Lock keys for the status bar. Qt tells
// the modifiers but not the locks, so the state comes from the window system
// where the app knows how to ask it (X11, through XKB's named indicators);
// elsewhere (Wayland, the offscreen platform) it is unknown.
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
