#include "app/qt/BmpReader.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace app {
namespace {

std::uint32_t U32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t U16(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr qsizetype kFileHeader = 14;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::int64_t kMaxSide = 1 << 15;

}  // namespace

std::optional<DecodedBitmap> DecodeBmp(const QByteArray& file) {
    if (file.size() < kFileHeader + 40 || file[0] != 'B' || file[1] != 'M') {
        return std::nullopt;
    }
    const std::int64_t dataOffset = U32(file, 10);
    const std::int64_t infoSize = U32(file, kFileHeader);
    const std::int64_t width = static_cast<std::int32_t>(U32(file, kFileHeader + 4));
    const std::int64_t signedHeight = static_cast<std::int32_t>(U32(file, kFileHeader + 8));
    const int planes = U16(file, kFileHeader + 12);
    const int bits = U16(file, kFileHeader + 14);
    const std::uint32_t compression = U32(file, kFileHeader + 16);
    std::int64_t colours = U32(file, kFileHeader + 32);

    const bool bottomUp = signedHeight > 0;
    const std::int64_t height = std::llabs(signedHeight);
    if (infoSize < 40 || planes != 1 || compression != kBiRgb || width <= 0 || height == 0 ||
        width > kMaxSide || height > kMaxSide) {
        return std::nullopt;
    }
    if (bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        return std::nullopt;
    }

    std::vector<QRgb> palette;
    if (bits <= 8) {
        if (colours == 0) {
            colours = std::int64_t{1} << bits;
        }
        if (colours > (std::int64_t{1} << bits)) {
            return std::nullopt;
        }
        const std::int64_t table = kFileHeader + infoSize;
        if (table + 4 * colours > file.size()) {
            return std::nullopt;
        }
        for (std::int64_t i = 0; i < colours; ++i) {
            const auto* p =
                reinterpret_cast<const unsigned char*>(file.constData()) + table + 4 * i;
            palette.push_back(qRgb(p[2], p[1], p[0]));
        }
    }

    const std::int64_t stride = ((width * bits + 31) / 32) * 4;
    if (dataOffset < kFileHeader + infoSize || dataOffset + stride * height > file.size()) {
        return std::nullopt;
    }

    DecodedBitmap result;
    result.bitsPerPixel = bits;
    result.image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    const auto* data = reinterpret_cast<const unsigned char*>(file.constData()) + dataOffset;
    for (std::int64_t stored = 0; stored < height; ++stored) {
        const unsigned char* row = data + stored * stride;
        const int y = static_cast<int>(bottomUp ? height - 1 - stored : stored);
        auto* out = reinterpret_cast<QRgb*>(result.image.scanLine(y));
        for (std::int64_t x = 0; x < width; ++x) {
            QRgb pixel = 0;
            if (bits == 24 || bits == 32) {
                const unsigned char* p = row + x * (bits / 8);
                pixel = qRgb(p[2], p[1], p[0]);
            } else {
                const unsigned index =
                    bits == 8 ? row[x] : (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
                if (index >= palette.size()) {
                    return std::nullopt;
                }
                pixel = palette[index];
            }
            out[x] = pixel;
        }
    }
    const int firstRow = bottomUp ? static_cast<int>(height - 1) : 0;
    result.firstStoredPixel = result.image.pixel(0, firstRow);
    return result;
}

QImage WithTransparentColour(const QImage& image, QRgb mask) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = mask & RGB_MASK;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & RGB_MASK) == key) {
                line[x] = 0;
            }
        }
    }
    return out;
}

}  // namespace app
