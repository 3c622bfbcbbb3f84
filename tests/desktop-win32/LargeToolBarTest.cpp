#include <gtest/gtest.h>

#include <optional>

#include "FrameFixture.h"
#include "res/ResourceIds.h"

namespace app::win32::test {
namespace {

class ToolBarImages : public FrameFixture, public ::testing::Test {
protected:
    void SetUp() override { CreateFrame(fw::Language::English); }
    void TearDown() override { DestroyFrame(); }

    HIMAGELIST List(UINT message) const {
        return reinterpret_cast<HIMAGELIST>(SendMessageW(frame_->ToolBar().Hwnd(), message, 0, 0));
    }
};

// A pixel of the bitmap as stored (x from the left, y from the top).
struct Bitmap {
    explicit Bitmap(UINT id)
        : handle(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                 IMAGE_BITMAP, 0, 0,
                                                 LR_CREATEDIBSECTION | LR_DEFAULTSIZE))) {
        if (handle != nullptr) {
            GetObjectW(handle, sizeof info, &info);
        }
    }
    ~Bitmap() {
        if (handle != nullptr) {
            DeleteObject(handle);
        }
    }
    COLORREF Pixel(int x, int y) const {
        const auto* bits = static_cast<const BYTE*>(info.bmBits);
        const BYTE* pixel = bits + (info.bmHeight - 1 - y) * info.bmWidthBytes + x * 3;
        return RGB(pixel[2], pixel[1], pixel[0]);
    }
    HBITMAP handle;
    BITMAP info{};
};

// Draws image `index` of the list onto a surface of `background` and returns
// the pixel at (x, y).
COLORREF DrawnPixel(HIMAGELIST list, int index, COLORREF background, int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP surface = CreateCompatibleBitmap(screen, 48, 48);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, surface);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, 48, 48};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
    const COLORREF pixel = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(surface);
    DeleteDC(dc);
    return pixel;
}

TEST_F(ToolBarImages, ThreeListsOfTenImagesAreInstalled) {
    for (UINT message : {TB_GETIMAGELIST, TB_GETHOTIMAGELIST, TB_GETDISABLEDIMAGELIST}) {
        HIMAGELIST list = List(message);
        ASSERT_NE(list, nullptr) << "message " << message;
        EXPECT_EQ(ImageList_GetImageCount(list), 10);
        int width = 0;
        int height = 0;
        ImageList_GetIconSize(list, &width, &height);
        EXPECT_EQ(width, 48);
        EXPECT_EQ(height, 48);
    }
    // The normal and hot looks are one bitmap, but each list is its own.
    EXPECT_NE(List(TB_GETIMAGELIST), List(TB_GETHOTIMAGELIST));
}

// The mask colour is the first stored pixel (bottom left): drawn over another
// colour, its pixels let that colour through; the others are the image's own.
TEST_F(ToolBarImages, MaskColourIsTransparent) {
    for (const auto& [message, bitmapId] :
         {std::pair<UINT, UINT>{TB_GETIMAGELIST, res::IDB_TOOLBAR_24},
          {TB_GETDISABLEDIMAGELIST, res::IDB_TOOLBAR_DISABLED}}) {
        const Bitmap bitmap(bitmapId);
        ASSERT_NE(bitmap.handle, nullptr);
        ASSERT_EQ(bitmap.info.bmBitsPixel, 24);
        const COLORREF mask = bitmap.Pixel(0, 47);
        const COLORREF background = RGB(1, 2, 250);
        ASSERT_NE(mask, background);
        HIMAGELIST list = List(message);
        EXPECT_EQ(DrawnPixel(list, 0, background, 0, 47), background);
        // An opaque pixel of the first image, wherever the drawing has one.
        std::optional<POINT> opaque;
        for (int y = 0; y < 48 && !opaque; ++y) {
            for (int x = 0; x < 48 && !opaque; ++x) {
                if (bitmap.Pixel(x, y) != mask) {
                    opaque = POINT{x, y};
                }
            }
        }
        ASSERT_TRUE(opaque.has_value());
        EXPECT_EQ(DrawnPixel(list, 0, background, opaque->x, opaque->y),
                  bitmap.Pixel(opaque->x, opaque->y));
    }
}

TEST_F(ToolBarImages, FailedLoadKeepsTheListsInstalledBefore) {
    CLargeToolBar& toolbar = frame_->ToolBar();
    const HIMAGELIST hot = List(TB_GETHOTIMAGELIST);
    const HIMAGELIST disabled = List(TB_GETDISABLEDIMAGELIST);
    constexpr UINT kMissing = 4242;
    // The normal list is rebuilt; the hot one fails and the run stops there.
    EXPECT_FALSE(toolbar.SetImageLists(48, res::IDB_TOOLBAR_24, kMissing, res::IDB_TOOLBAR_24));
    EXPECT_EQ(List(TB_GETHOTIMAGELIST), hot);
    EXPECT_EQ(List(TB_GETDISABLEDIMAGELIST), disabled);
    EXPECT_EQ(ImageList_GetImageCount(List(TB_GETIMAGELIST)), 10);
    EXPECT_EQ(ImageList_GetImageCount(hot), 10);

    // Neither a missing bitmap, nor one whose pixels give no mask colour (the
    // 16-colour strip), nor a width of no image replaces a list.
    for (const auto& [bitmapId, width] : {std::pair<UINT, int>{kMissing, 48},
                                          {res::IDR_MAINFRAME, 48},
                                          {res::IDB_TOOLBAR_DISABLED, 0}}) {
        EXPECT_FALSE(toolbar.LoadImageList(TB_SETDISABLEDIMAGELIST, bitmapId, width));
        EXPECT_EQ(List(TB_GETDISABLEDIMAGELIST), disabled);
    }
    EXPECT_EQ(ImageList_GetImageCount(disabled), 10);
}

TEST_F(ToolBarImages, PromptAndTooltipSplitAtTheFirstNewline) {
    EXPECT_EQ(CLargeToolBar::Prompt(res::ID_APP_EXIT), L"Quit the application");
    EXPECT_EQ(CLargeToolBar::ToolTip(res::ID_APP_EXIT), L"Exit");
    EXPECT_EQ(CLargeToolBar::Prompt(res::ID_SHOW_DEBUG_INFO), L"show dtu debug info");
    EXPECT_EQ(CLargeToolBar::ToolTip(res::ID_SHOW_DEBUG_INFO), L"");
    EXPECT_EQ(CLargeToolBar::Prompt(res::ID_SELECT_FIRMWARE), L"");
}

}  // namespace
}  // namespace app::win32::test
