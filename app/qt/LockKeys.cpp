#include "app/core/LockKeys.h"

#include <QGuiApplication>

#if defined(TIRVEL_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#endif

namespace app {

LockKeyState QueryLockKeys() {
    LockKeyState state;
#if defined(TIRVEL_HAVE_X11) && QT_CONFIG(xcb)
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) {
        return state;
    }
    // By name rather than by bit: keyboard maps number their indicators freely.
    const auto indicator = [display](const char* name) -> std::optional<bool> {
        const Atom atom = XInternAtom(display, name, True);
        Bool on = False;
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
            return std::nullopt;
        }
        return on != False;
    };
    state.caps = indicator("Caps Lock");
    state.num = indicator("Num Lock");
    state.scroll = indicator("Scroll Lock");
#endif
    return state;
}

}  // namespace app
