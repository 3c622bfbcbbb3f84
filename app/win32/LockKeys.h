// The state of the Caps, Num and Scroll Lock keys for the status bar's
// indicators, as Windows tells it.
#pragma once

namespace app::win32 {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

LockKeyState QueryLockKeys();

}  // namespace app::win32
