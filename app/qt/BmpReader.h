// Device-independent bitmaps as the toolbar's image lists read them: the mask
// colour of an image list is the first pixel stored in the file (for the usual
// bottom-up bitmap, its bottom-left pixel), which an image decoder that hands
// out only the picture cannot tell.
#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace app {

struct DecodedBitmap {
    QImage image;  // Format_RGB32, top row first
    QRgb firstStoredPixel = 0;
    int bitsPerPixel = 0;
};

// Uncompressed bitmaps of 4, 8, 24 or 32 bits per pixel, bottom-up or top-down;
// nothing for anything else or a truncated file.
std::optional<DecodedBitmap> DecodeBmp(const QByteArray& file);

// The image with every pixel of the mask colour transparent (Format_ARGB32).
QImage WithTransparentColour(const QImage& image, QRgb mask);

}  // namespace app
