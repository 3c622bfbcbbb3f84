// A static text's look on Win32: the font it is drawn with and the colours its
// window gives it in WM_CTLCOLORSTATIC. Each look owns its font and brush and
// deletes them when it goes, so a look changed on every verdict costs no GDI
// objects over time.
#pragma once

#include "framework/win32/Win32Api.h"

#include "framework/WindowSite.h"

#include "common/NonCopyable.h"

namespace fw::win32 {

class CWin32TextLook : NonCopyable {
public:
    // The font is the dialog's face at the look's size and weight. The caller
    // hands it to the control (WM_SETFONT) and keeps this look while the
    // control uses it.
    CWin32TextLook(HWND dialog, const TextLook& look);
    ~CWin32TextLook();

    HFONT Font() const { return font_; }
    // Answers WM_CTLCOLORSTATIC: sets the colours on the control's DC and
    // returns the brush for its background.
    HBRUSH Colour(HDC dc) const;

private:
    HFONT font_ = nullptr;
    HBRUSH brush_ = nullptr;  // none without a background of its own
    COLORREF text_;
    COLORREF background_;
};

COLORREF ToColorRef(unsigned rgb);

}  // namespace fw::win32
