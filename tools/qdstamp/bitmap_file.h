// .bmp files and the RT_BITMAP resource (a packed DIB) made from them.
#pragma once

#include <cstdint>
#include <vector>

#include "le_bytes.h"

namespace qdstamp {

struct DibInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: top-down rows
    std::uint16_t bit_count = 0;
    bool alpha = false;  // 32 bits with bit fields that include an alpha mask
};

// Pixels with straight (not premultiplied) alpha: R, G, B, A samples of 16
// bits each, rows top-down.
struct Rgba16Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint16_t> samples;  // 4 per pixel
};

// Validates a .bmp file strictly and returns the packed DIB: the info header,
// bit masks and color table followed directly by the pixel data (whatever gap
// the file had before the pixels is dropped, as a packed DIB has none).
Bytes bmp_to_dib(const Bytes& file);

// Header fields of a packed DIB (as stored in RT_BITMAP); throws on garbage.
DibInfo dib_info(const Bytes& dib);

// The 8-bit colour of a 16-bit colour sample premultiplied by its 16-bit
// alpha, rounded to nearest: round(colour * alpha / 65535 / 257). For 8-bit
// samples widened as v * 257 this is round(colour * alpha / 255).
std::uint8_t premultiply(std::uint16_t colour, std::uint16_t alpha);

// The bitmap resource of a picture with transparency, the form the launcher
// shows as a layered window: a BITMAPV5HEADER (32 bits, BI_BITFIELDS with the
// masks of B, G, R, A bytes, sRGB), rows bottom-up, each pixel B, G, R
// premultiplied by A, then A.
Bytes premultiplied_dib(const Rgba16Image& image);

// The same for a 32-bit BMP with an alpha channel (straight alpha, as image
// editors write it). A BMP whose alpha mask covers only zeros has no use for
// it: its mask is cleared and it stays an opaque bitmap. Other DIBs are
// returned unchanged.
Bytes premultiply_bmp_alpha(const Bytes& dib);

// "PNG", "BMP", "JPEG", "GIF" or "icon" by the file's first bytes; nullptr
// when none of them.  For messages about a picture of the wrong kind.
const char* picture_format(const Bytes& file);

}  // namespace qdstamp
