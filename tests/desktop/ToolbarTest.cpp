// The large toolbar: its buttons from the toolbar resource, the image lists
// from the bitmaps (mask colour from the first stored pixel), what a failed
// load leaves behind, and the bitmap reader that tells that pixel.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <cstdint>

#include "app/qt/BmpReader.h"
#include "app/qt/LargeToolBar.h"
#include "res/ResourceIds.h"

namespace {

using app::CLargeToolBar;

constexpr fw::UINT kMissingBitmap = 999;

QImage BitmapImage(fw::UINT id, QRgb* firstPixel = nullptr) {
    QFile file(app::BitmapResourcePath(id));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << id;
    const auto bitmap = app::DecodeBmp(file.readAll());
    EXPECT_TRUE(bitmap.has_value()) << id;
    if (!bitmap) {
        return {};
    }
    if (firstPixel != nullptr) {
        *firstPixel = bitmap->firstStoredPixel;
    }
    return bitmap->image;
}

QImage IconImage(const QToolButton* button, QIcon::Mode mode) {
    return button->icon()
        .pixmap(QSize(48, 48), mode)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

// The n-th 48x48 image of a bitmap with its mask colour transparent.
QImage Expected(fw::UINT bitmapId, int n) {
    QRgb mask = 0;
    const QImage strip = BitmapImage(bitmapId, &mask);
    return app::WithTransparentColour(strip.copy(n * 48, 0, 48, 48), mask);
}

std::unique_ptr<CLargeToolBar> LoadedToolBar() {
    auto toolbar = std::make_unique<CLargeToolBar>();
    EXPECT_TRUE(toolbar->LoadToolBar(res::IDR_MAINFRAME));
    return toolbar;
}

TEST(ToolbarBitmaps, AreTenImagesWithTheirMaskColourInTheFirstStoredPixel) {
    struct Case {
        fw::UINT id;
        int bits;
        QRgb mask;
    };
    for (const Case& c : {Case{res::IDB_TOOLBAR_24, 24, qRgb(212, 208, 200)},
                          Case{res::IDB_TOOLBAR_DISABLED, 24, qRgb(206, 206, 206)},
                          Case{res::IDR_MAINFRAME, 4, qRgb(192, 192, 192)}}) {
        QFile file(app::BitmapResourcePath(c.id));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.id;
        const auto bitmap = app::DecodeBmp(file.readAll());
        ASSERT_TRUE(bitmap.has_value()) << c.id;
        EXPECT_EQ(bitmap->bitsPerPixel, c.bits) << c.id;
        EXPECT_EQ(bitmap->image.size(), QSize(480, 48)) << c.id;
        EXPECT_EQ(bitmap->firstStoredPixel & RGB_MASK, c.mask & RGB_MASK) << c.id;
        // Each image draws something of its own on the mask colour.
        for (int n = 0; n < 10; ++n) {
            const QImage image = bitmap->image.copy(n * 48, 0, 48, 48);
            int drawn = 0;
            for (int y = 0; y < 48; ++y) {
                for (int x = 0; x < 48; ++x) {
                    drawn += (image.pixel(x, y) & RGB_MASK) != (c.mask & RGB_MASK) ? 1 : 0;
                }
            }
            EXPECT_GT(drawn, 48 * 48 / 8) << c.id << " #" << n;
            if (n > 0) {
                EXPECT_NE(image, bitmap->image.copy((n - 1) * 48, 0, 48, 48)) << c.id << " #" << n;
            }
        }
    }
}

TEST(ToolbarImageLists, NormalHotAndDisabledComeFromTheirBitmapsWithTheMaskTransparent) {
    auto toolbar = LoadedToolBar();
    ASSERT_TRUE(toolbar->SetImageLists(48, res::IDB_TOOLBAR_24, res::IDB_TOOLBAR_24,
                                       res::IDB_TOOLBAR_DISABLED));
    const auto& commands = toolbar->Commands();
    ASSERT_EQ(commands.size(), 10u);
    for (std::size_t n = 0; n < commands.size(); ++n) {
        const QToolButton* button = toolbar->Button(commands[n]);
        const QImage normal = IconImage(button, QIcon::Normal);
        EXPECT_EQ(qAlpha(normal.pixel(0, 47)), 0) << n;  // the mask colour's own pixel
        // Transparent exactly where the bitmap has the mask colour, opaque elsewhere.
        const QImage raw =
            BitmapImage(res::IDB_TOOLBAR_24).copy(static_cast<int>(n) * 48, 0, 48, 48);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                const bool mask = (raw.pixel(x, y) & RGB_MASK) == (qRgb(212, 208, 200) & RGB_MASK);
                ASSERT_EQ(qAlpha(normal.pixel(x, y)), mask ? 0 : 255)
                    << n << " at " << x << "," << y;
            }
        }
        EXPECT_EQ(normal, Expected(res::IDB_TOOLBAR_24, static_cast<int>(n))) << n;
        EXPECT_EQ(IconImage(button, QIcon::Active), normal) << n;
        EXPECT_EQ(IconImage(button, QIcon::Disabled),
                  Expected(res::IDB_TOOLBAR_DISABLED, static_cast<int>(n)))
            << n;
    }
}

TEST(ToolbarImageLists, AMissingBitmapFailsAndKeepsWhatWasInstalled) {
    auto toolbar = LoadedToolBar();
    QToolButton* stop = toolbar->Button(res::ID_STOP_CONFIG);
    // The resource's own 16-colour images until better ones come.
    const QImage own = IconImage(stop, QIcon::Normal);
    EXPECT_EQ(own, Expected(res::IDR_MAINFRAME, 1));

    EXPECT_FALSE(toolbar->SetImageLists(48, kMissingBitmap, 0, res::IDB_TOOLBAR_DISABLED));
    EXPECT_EQ(IconImage(stop, QIcon::Normal), own);
    // Stopped at the missing one: the disabled list was not loaded either.
    EXPECT_NE(IconImage(stop, QIcon::Disabled), Expected(res::IDB_TOOLBAR_DISABLED, 1));

    // A list loaded before the failure stays.
    EXPECT_FALSE(
        toolbar->SetImageLists(48, res::IDB_TOOLBAR_24, kMissingBitmap, res::IDB_TOOLBAR_DISABLED));
    EXPECT_EQ(IconImage(stop, QIcon::Normal), Expected(res::IDB_TOOLBAR_24, 1));
    EXPECT_FALSE(toolbar->LoadImageList(CLargeToolBar::kHot, kMissingBitmap, 48));

    // And the buttons still work.
    QSignalSpy triggered(toolbar.get(), &CLargeToolBar::commandTriggered);
    QTest::mouseClick(stop, Qt::LeftButton);
    ASSERT_EQ(triggered.count(), 1);
    EXPECT_EQ(triggered.first().first().toUInt(), res::ID_STOP_CONFIG);
}

TEST(ToolbarImageLists, ADisabledButtonIgnoresClicks) {
    auto toolbar = LoadedToolBar();
    QSignalSpy triggered(toolbar.get(), &CLargeToolBar::commandTriggered);
    toolbar->Action(res::ID_MODIFY)->setEnabled(false);
    EXPECT_FALSE(toolbar->Button(res::ID_MODIFY)->isEnabled());
    QTest::mouseClick(toolbar->Button(res::ID_MODIFY), Qt::LeftButton);
    toolbar->Action(res::ID_MODIFY)->trigger();
    EXPECT_EQ(triggered.count(), 0);
}

// --- the bitmap reader ----------------------------------------------------

void Put32(QByteArray& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

void Put16(QByteArray& b, std::uint16_t v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}

// A bitmap file around rows of stored bytes (each row already padded).
QByteArray Bmp(int width, int height, int bits, const QByteArray& palette, const QByteArray& rows) {
    QByteArray b("BM");
    const int offset = 14 + 40 + static_cast<int>(palette.size());
    Put32(b, static_cast<std::uint32_t>(offset + rows.size()));
    Put32(b, 0);
    Put32(b, static_cast<std::uint32_t>(offset));
    Put32(b, 40);
    Put32(b, static_cast<std::uint32_t>(width));
    Put32(b, static_cast<std::uint32_t>(height));
    Put16(b, 1);
    Put16(b, static_cast<std::uint16_t>(bits));
    Put32(b, 0);
    Put32(b, static_cast<std::uint32_t>(rows.size()));
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, static_cast<std::uint32_t>(palette.size() / 4));
    Put32(b, 0);
    return b + palette + rows;
}

// Two 24-bit rows of two pixels (B, G, R each), padded to four bytes.
const QByteArray kRows24 = QByteArray::fromHex(
    "0000ff 00ff00 0000"
    "ff0000 ffffff 0000");

TEST(BmpReader, TheFirstStoredPixelIsBottomLeftForBottomUpAndTopLeftForTopDown) {
    const auto bottomUp = app::DecodeBmp(Bmp(2, 2, 24, {}, kRows24));
    ASSERT_TRUE(bottomUp.has_value());
    EXPECT_EQ(bottomUp->image.pixel(0, 1), qRgb(255, 0, 0));  // stored first, shown last
    EXPECT_EQ(bottomUp->image.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(bottomUp->firstStoredPixel, qRgb(255, 0, 0));

    const auto topDown = app::DecodeBmp(Bmp(2, -2, 24, {}, kRows24));
    ASSERT_TRUE(topDown.has_value());
    EXPECT_EQ(topDown->image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(topDown->firstStoredPixel, qRgb(255, 0, 0));
}

TEST(BmpReader, ReadsPalettedPixelsByNibble) {
    const QByteArray palette = QByteArray::fromHex(
        "00000000"
        "0000ff00"
        "00ff0000");
    // One row of three pixels: indices 1, 2, 0.
    const auto bitmap = app::DecodeBmp(Bmp(3, 1, 4, palette, QByteArray::fromHex("12000000")));
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_EQ(bitmap->image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(bitmap->image.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(bitmap->image.pixel(2, 0), qRgb(0, 0, 0));
}

TEST(BmpReader, RefusesWhatItCannotReadWhole) {
    const QByteArray good = Bmp(2, 2, 24, {}, kRows24);
    EXPECT_FALSE(app::DecodeBmp(good.left(good.size() - 1)).has_value());
    EXPECT_FALSE(app::DecodeBmp(Bmp(2, 2, 16, {}, kRows24)).has_value());
    QByteArray compressed = good;
    compressed[30] = 1;  // RLE8
    EXPECT_FALSE(app::DecodeBmp(compressed).has_value());
    // A palette index beyond the colours the file has.
    const QByteArray palette = QByteArray::fromHex(
        "00000000"
        "0000ff00");
    EXPECT_FALSE(
        app::DecodeBmp(Bmp(1, 1, 4, palette, QByteArray::fromHex("50000000"))).has_value());
    EXPECT_FALSE(app::DecodeBmp(QByteArray("BM")).has_value());
}

}  // namespace
