#include "app/win32/LargeToolBar.h"

#include <algorithm>
#include <cstdlib>

#include "app/core/CommandStrings.h"
#include "framework/StringTable.h"
#include "framework/win32/Win32Host.h"
#include "res/Toolbar.h"

namespace app::win32 {
namespace {

// The messages that install our three lists, in their order.
constexpr UINT kListMessages[] = {TB_SETIMAGELIST, TB_SETHOTIMAGELIST, TB_SETDISABLEDIMAGELIST};

}  // namespace

HINSTANCE ResourceModule() {
    return GetModuleHandleW(nullptr);
}

CLargeToolBar::~CLargeToolBar() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        DestroyWindow(hwnd_);
    }
    // The control does not own the lists it was handed; they go with it.
    for (HIMAGELIST& list : lists_) {
        if (list != nullptr) {
            ImageList_Destroy(list);
            list = nullptr;
        }
    }
    if (captionFont_ != nullptr) {
        DeleteObject(captionFont_);
    }
}

bool CLargeToolBar::CreateEx(HWND parent, UINT id) {
    // Fixed at the top: the bar is never docked elsewhere or floated.
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                        CCS_TOP | CCS_NODIVIDER;
    hwnd_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ResourceModule(),
                            nullptr);
    if (hwnd_ == nullptr) {
        return false;
    }
    SendMessageW(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return true;
}

bool CLargeToolBar::LoadToolBar(UINT id) {
    const res::ToolbarResource* resource = res::FindToolbar(id);
    if (hwnd_ == nullptr || resource == nullptr) {
        return false;
    }
    resourceId_ = id;
    SendMessageW(hwnd_, TB_SETBITMAPSIZE, 0,
                 MAKELPARAM(resource->imageWidth, resource->imageHeight));

    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (const res::ToolbarItem& item : resource->items) {
        TBBUTTON button{};
        items_.push_back(item.command);
        if (item.command == res::ID_SEPARATOR) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = static_cast<int>(item.command);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
            button.iString = -1;
            commands_.push_back(item.command);
        }
        buttons.push_back(button);
    }
    // The resource's own (16-colour) images until better lists are installed;
    // without them the buttons still work, captioned but without images.
    TBADDBITMAP bitmap{ResourceModule(), id};
    SendMessageW(hwnd_, TB_ADDBITMAP, static_cast<WPARAM>(image),
                 reinterpret_cast<LPARAM>(&bitmap));
    if (!SendMessageW(hwnd_, TB_ADDBUTTONSW, buttons.size(),
                      reinterpret_cast<LPARAM>(buttons.data()))) {
        return false;
    }
    return true;
}

bool CLargeToolBar::SetImageLists(int imageWidth, UINT normalId, UINT hotId, UINT disabledId) {
    const UINT bitmaps[] = {normalId, hotId, disabledId};
    for (std::size_t i = 0; i < std::size(bitmaps); ++i) {
        // The normal list is always built.
        if ((i == 0 || bitmaps[i] != 0) &&
            !LoadImageList(kListMessages[i], bitmaps[i], imageWidth)) {
            return false;
        }
    }
    return true;
}

bool CLargeToolBar::LoadImageList(UINT message, UINT bitmapId, int imageWidth) {
    const UINT* slot = std::find(std::begin(kListMessages), std::end(kListMessages), message);
    if (hwnd_ == nullptr || slot == std::end(kListMessages) || imageWidth <= 0) {
        return false;
    }
    auto* bitmap =
        static_cast<HBITMAP>(LoadImageW(ResourceModule(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP,
                                        0, 0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
    if (bitmap == nullptr) {
        return false;
    }
    BITMAP info{};
    // The mask colour is read from the pixel data as three bytes: a bitmap
    // without them in memory, or with fewer bits a pixel, cannot give it.
    if (GetObjectW(bitmap, sizeof info, &info) == 0 || info.bmBits == nullptr ||
        info.bmBitsPixel < 24) {
        DeleteObject(bitmap);
        return false;
    }
    const int count = info.bmWidth / imageWidth;
    // The first stored pixel (bottom-left of a bottom-up bitmap), blue first.
    const auto* bits = static_cast<const BYTE*>(info.bmBits);
    const COLORREF mask = RGB(bits[2], bits[1], bits[0]);

    HIMAGELIST list = ImageList_Create(imageWidth, info.bmHeight, ILC_COLOR24 | ILC_MASK, count, 0);
    if (list == nullptr) {
        DeleteObject(bitmap);
        return false;
    }
    if (count == 0 || ImageList_AddMasked(list, bitmap, mask) == -1) {
        ImageList_Destroy(list);
        DeleteObject(bitmap);
        return false;
    }
    // The list holds its own copy of the images.
    DeleteObject(bitmap);

    SendMessageW(hwnd_, message, 0, reinterpret_cast<LPARAM>(list));
    HIMAGELIST& installed = lists_[slot - std::begin(kListMessages)];
    HIMAGELIST previous = installed;
    installed = list;
    if (previous != nullptr) {
        ImageList_Destroy(previous);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

void CLargeToolBar::SetButtonTexts() {
    const res::ToolbarResource* resource = res::FindToolbar(resourceId_);
    if (resource == nullptr) {
        return;
    }
    std::vector<std::pair<UINT, std::wstring>> captions;
    for (const res::ToolbarItem& item : resource->items) {
        if (item.command != res::ID_SEPARATOR) {
            captions.emplace_back(item.command, fw::win32::Widen(fw::LoadString(item.textId)));
        }
    }
    FitCaptionFont(captions);
    for (auto& [command, text] : captions) {
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_TEXT;
        info.pszText = text.data();
        SendMessageW(hwnd_, TB_SETBUTTONINFOW, command, reinterpret_cast<LPARAM>(&info));
    }
}

void CLargeToolBar::FitCaptionFont(const std::vector<std::pair<UINT, std::wstring>>& captions) {
    // The buttons keep their size; a caption wider than a button would widen
    // every button, so the captions' font shrinks (within reason) until the
    // widest fits.
    constexpr int kTextMargin = 8;
    constexpr int kSmallestPixels = 9;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return;
    }
    LOGFONTW face = metrics.lfMessageFont;
    HDC dc = GetDC(hwnd_);
    const auto widest = [&](HFONT font) {
        HGDIOBJ old = SelectObject(dc, font);
        int width = 0;
        for (const auto& [command, text] : captions) {
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            width = std::max(width, static_cast<int>(size.cx));
        }
        SelectObject(dc, old);
        return width;
    };
    HFONT font = CreateFontIndirectW(&face);
    while (font != nullptr && widest(font) > kButtonSize - kTextMargin &&
           std::abs(face.lfHeight) > kSmallestPixels) {
        DeleteObject(font);
        face.lfHeight += face.lfHeight < 0 ? 1 : -1;
        font = CreateFontIndirectW(&face);
    }
    ReleaseDC(hwnd_, dc);
    if (font == nullptr) {
        return;
    }
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (captionFont_ != nullptr) {
        DeleteObject(captionFont_);
    }
    captionFont_ = font;
}

void CLargeToolBar::SetSizes(SIZE button, SIZE image) {
    SendMessageW(hwnd_, TB_SETBITMAPSIZE, 0, MAKELPARAM(image.cx, image.cy));
    SendMessageW(hwnd_, TB_SETBUTTONSIZE, 0, MAKELPARAM(button.cx, button.cy));
    // A caption must not widen its button beyond the others.
    SendMessageW(hwnd_, TB_SETBUTTONWIDTH, 0, MAKELPARAM(button.cx, button.cx));
    SendMessageW(hwnd_, TB_AUTOSIZE, 0, 0);
}

int CLargeToolBar::Height() const {
    RECT rect{};
    if (hwnd_ == nullptr || !GetWindowRect(hwnd_, &rect)) {
        return 0;
    }
    return rect.bottom - rect.top;
}

void CLargeToolBar::EnableButton(UINT command, bool enable) {
    // Only a change redraws the button.
    const LRESULT state = SendMessageW(hwnd_, TB_GETSTATE, command, 0);
    if ((state != -1 && (state & TBSTATE_ENABLED) != 0) != enable) {
        SendMessageW(hwnd_, TB_ENABLEBUTTON, command, MAKELPARAM(enable ? TRUE : FALSE, 0));
    }
}

std::wstring CLargeToolBar::Prompt(UINT command) {
    return fw::win32::Widen(LoadCommandStrings(command).prompt);
}

std::wstring CLargeToolBar::ToolTip(UINT command) {
    return fw::win32::Widen(LoadCommandStrings(command).toolTip);
}

}  // namespace app::win32
