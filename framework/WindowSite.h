// What a platform window offers the system's code. The desktop app implements
// it on Qt widgets, tirvelctl on the console and the tests with a scripted
// window; the system's classes see nothing else of their window.
//
// Control text crosses this boundary as UTF-8: the conversion from and to the
// device's code page happens once, in CWnd, so that every host keeps the same
// exact-bytes rules.
#pragma once

#include <string>
#include <vector>

#include "common/Win.h"

namespace fw {

// Arguments for "%1", "%2", ... in a message text (UTF-8).
using MessageArgs = std::vector<std::string>;

// How the system dresses a rich-edit pane.
struct RichEditLook {
    bool readOnly = true;
    unsigned backgroundRgb = 0x000000;
    unsigned textRgb = 0xFFFFFF;
    int heightTwips = 250;
    std::string faceName;  // UTF-8; hosts fall back to a font they have
};

// How the system dresses a static text, e.g. a verdict in large white letters
// on green or red.
struct TextLook {
    int heightTwips = 180;
    bool bold = false;
    unsigned textRgb = 0x000000;
    bool hasBackground = false;  // otherwise the window's own shows through
    unsigned backgroundRgb = 0xFFFFFF;
};

// The control calls, written once: IWindowSite declares them with
// FW_WINDOW_SITE_CONTROLS(virtual, = 0) and every site that implements them
// with FW_WINDOW_SITE_CONTROLS(, override).
//
// Controls are addressed by their resource IDs; unknown IDs are ignored.
// - SetControlCheck: checking a radio button unchecks the others of its
//   group, as a click does; unchecking touches that one only.
// - AppendControlText: appends at the end of a (rich-edit) control's text,
//   cheaper than setting it.
// - SetControlSizePixels: keeps the control's top-left corner and z-order.
// - SetProgressRange, SetProgressPos: a progress bar's range and position
//   (already inside the range).
// - SetControlItems: the list of a drop-down (UTF-8), replacing the old one;
//   the text in its edit part stays.
// - SetTextLook: for static texts; other controls ignore it.
// - MessageBoxById: a modal message box whose text and caption come from the
//   string table; returns the button pressed (IDOK, ...). Posted messages and
//   timers keep being delivered while the box is open.
#define FW_WINDOW_SITE_CONTROLS(prefix, suffix)                                                \
    prefix void ShowControl(int id, int showCommand) suffix;                                   \
    prefix bool IsControlVisible(int id) const suffix;                                         \
    prefix void EnableControl(int id, bool enable) suffix;                                     \
    prefix bool IsControlEnabled(int id) const suffix;                                         \
    prefix void FocusControl(int id) suffix;                                                   \
    prefix void SetControlText(int id, const std::string& utf8) suffix;                        \
    prefix std::string GetControlText(int id) const suffix;                                    \
    prefix void SetControlCheck(int id, int state) suffix;                                     \
    prefix int GetControlCheck(int id) const suffix;                                           \
    prefix void AppendControlText(int id, const std::string& utf8) suffix;                     \
    prefix void SetRichEditLook(int id, const RichEditLook& look) suffix;                      \
    prefix void SetControlSizePixels(int id, int width, int height) suffix;                    \
    prefix void SetProgressRange(int id, int low, int high) suffix;                            \
    prefix void SetProgressPos(int id, int pos) suffix;                                        \
    prefix void SetControlItems(int id, const std::vector<std::string>& utf8Items) suffix;     \
    prefix void SetTextLook(int id, const TextLook& look) suffix;                              \
    prefix int MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) \
        suffix;

class IWindowSite {
public:
    virtual ~IWindowSite() = default;

    FW_WINDOW_SITE_CONTROLS(virtual, = 0)

    // May be called from any thread; delivered to the window's WindowProc on the
    // user-interface thread, in posting order.
    virtual void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // WM_TIMER with the timer ID every periodMs until killed; returns the ID, or
    // 0 when the timer cannot be created. Setting an existing ID restarts it.
    virtual UINT SetTimer(UINT id, UINT periodMs) = 0;
    virtual bool KillTimer(UINT id) = 0;
};

}  // namespace fw
