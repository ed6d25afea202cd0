// .bmp files and the RT_BITMAP resource (a packed DIB) made from them.
#pragma once

#include <cstdint>

#include "le_bytes.h"

namespace qdstamp {

struct DibInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: top-down rows
    std::uint16_t bit_count = 0;
};

// Validates a .bmp file strictly and returns the packed DIB: the info header,
// bit masks and color table followed directly by the pixel data (whatever gap
// the file had before the pixels is dropped, as a packed DIB has none).
Bytes bmp_to_dib(const Bytes& file);

// Header fields of a packed DIB (as stored in RT_BITMAP); throws on garbage.
DibInfo dib_info(const Bytes& dib);

// "PNG", "BMP", "JPEG", "GIF" or "icon" by the file's first bytes; nullptr
// when none of them.  For messages about a picture of the wrong kind.
const char* picture_format(const Bytes& file);

}  // namespace qdstamp
