// A window site that hands every call on to another one: the form views of
// the desktops are windows of their own (a scrolling area around the form)
// whose controls live in a site inside, and CWnd reaches its platform half
// the same way. While there is nothing to hand on to, it answers as a window
// without controls: nothing shown, enabled, checked or written, OK for a
// message box, no timer.
#pragma once

#include "framework/WindowSite.h"

namespace fw {

class CSiteRelay : public IWindowSite {
public:
    explicit CSiteRelay(IWindowSite* target = nullptr) : target_(target) {}

    void RelayTo(IWindowSite* target) { target_ = target; }
    IWindowSite* Target() const { return target_; }

    FW_WINDOW_SITE_CONTROLS(, override)
    void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    UINT SetTimer(UINT id, UINT periodMs) override;
    bool KillTimer(UINT id) override;

private:
    IWindowSite* target_;
};

}  // namespace fw
