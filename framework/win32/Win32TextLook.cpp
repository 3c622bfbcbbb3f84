#include "framework/win32/Win32TextLook.h"

namespace fw::win32 {

COLORREF ToColorRef(unsigned rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

namespace {

LOGFONTW DialogFont(HWND dialog) {
    LOGFONTW font{};
    auto* dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    if (dialogFont == nullptr ||
        GetObjectW(dialogFont, sizeof(font), &font) != static_cast<int>(sizeof(font))) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    }
    return font;
}

}  // namespace

CWin32TextLook::CWin32TextLook(HWND dialog, const TextLook& look)
    : text_(ToColorRef(look.textRgb)), background_(ToColorRef(look.backgroundRgb)) {
    LOGFONTW font = DialogFont(dialog);
    HDC screen = GetDC(nullptr);
    // Negative: the character height without the leading, as point sizes are.
    font.lfHeight = -MulDiv(look.heightTwips, GetDeviceCaps(screen, LOGPIXELSY), 1440);
    ReleaseDC(nullptr, screen);
    font.lfWidth = 0;
    font.lfWeight = look.bold ? FW_BOLD : FW_NORMAL;
    font_ = CreateFontIndirectW(&font);
    if (look.hasBackground) {
        brush_ = CreateSolidBrush(background_);
    }
}

CWin32TextLook::~CWin32TextLook() {
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    if (brush_ != nullptr) {
        DeleteObject(brush_);
    }
}

HBRUSH CWin32TextLook::Colour(HDC dc) const {
    SetTextColor(dc, text_);
    if (brush_ == nullptr) {
        // The dialog's own face shows through, as for any static.
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return GetSysColorBrush(COLOR_BTNFACE);
    }
    SetBkColor(dc, background_);
    return brush_;
}

}  // namespace fw::win32
