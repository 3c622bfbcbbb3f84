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

    void ShowControl(int id, int showCommand) override;
    bool IsControlVisible(int id) const override;
    void EnableControl(int id, bool enable) override;
    bool IsControlEnabled(int id) const override;
    void FocusControl(int id) override;
    void SetControlText(int id, const std::string& utf8) override;
    std::string GetControlText(int id) const override;
    void SetControlCheck(int id, int state) override;
    int GetControlCheck(int id) const override;
    void AppendControlText(int id, const std::string& utf8) override;
    void SetRichEditLook(int id, const RichEditLook& look) override;
    void SetControlSizePixels(int id, int width, int height) override;
    void SetProgressRange(int id, int low, int high) override;
    void SetProgressPos(int id, int pos) override;
    void SetControlItems(int id, const std::vector<std::string>& utf8Items) override;
    void SetTextLook(int id, const TextLook& look) override;
    int MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) override;
    void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    UINT SetTimer(UINT id, UINT periodMs) override;
    bool KillTimer(UINT id) override;

private:
    IWindowSite* target_;
};

}  // namespace fw
