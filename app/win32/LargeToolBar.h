// The frame's toolbar with large buttons on the common controls' toolbar:
// 48x48 images above their captions in 72x72 buttons, built from a toolbar
// resource, with 24-bit masked image lists for the normal, hot (pointer over
// the button) and disabled looks.
#pragma once

#include "framework/win32/Win32Api.h"

#include <string>
#include <vector>

#include "common/NonCopyable.h"

namespace app::win32 {

class CLargeToolBar : NonCopyable {
public:
    static constexpr int kButtonSize = 72;
    static constexpr int kImageSize = 48;
    static constexpr UINT kControlId = 0xE800;  // the frame's toolbar

    CLargeToolBar() = default;
    ~CLargeToolBar();

    // The toolbar control, flat with hot tracking and tooltips, at the top of
    // the parent. False when the control cannot be made.
    bool CreateEx(HWND parent, UINT id = kControlId);
    // The buttons of toolbar resource `id` with the images of bitmap `id`.
    // False when there is no such toolbar or its buttons cannot be added.
    bool LoadToolBar(UINT id);

    // Each ID names a bitmap for one list; 0 skips that list (the normal one
    // is always built). Stops at the first list that cannot be built and
    // returns false: the lists installed before it stay.
    bool SetImageLists(int imageWidth, UINT normalId, UINT hotId, UINT disabledId);
    // One list from a bitmap, as many images as the bitmap is wide, the colour
    // of its first stored pixel transparent, handed to the control with
    // `message` (TB_SETIMAGELIST, TB_SETHOTIMAGELIST, TB_SETDISABLEDIMAGELIST).
    bool LoadImageList(UINT message, UINT bitmapId, int imageWidth);

    // Every button's caption from its button text string, in a font small
    // enough for the widest caption to fit the button.
    void SetButtonTexts();
    void SetSizes(SIZE button, SIZE image);

    HWND Hwnd() const { return hwnd_; }
    // The commands in button order, without separators.
    const std::vector<UINT>& Commands() const { return commands_; }
    int Height() const;

    void EnableButton(UINT command, bool enable);

    // A command string is "prompt\ntooltip": the prompt shows in the status
    // bar, the tooltip over the button. Without "\n" it is a prompt only.
    static std::wstring Prompt(UINT command);
    static std::wstring ToolTip(UINT command);

private:
    // The captions' font: small enough for the widest to fit its button.
    void FitCaptionFont(const std::vector<std::pair<UINT, std::wstring>>& captions);

    HWND hwnd_ = nullptr;
    UINT resourceId_ = 0;
    std::vector<UINT> commands_;  // without separators
    std::vector<UINT> items_;     // with separators (0)
    HIMAGELIST lists_[3] = {};    // ours: normal, hot, disabled
    HFONT captionFont_ = nullptr;
};

// The module whose resources (bitmaps, icons) the shell loads.
HINSTANCE ResourceModule();

}  // namespace app::win32
