// .ico files and the icon resources made from them.
#pragma once

#include <cstdint>
#include <vector>

#include "le_bytes.h"

namespace qdstamp {

struct IconImage {
    std::uint8_t width = 0;   // 0 means 256
    std::uint8_t height = 0;  // 0 means 256
    std::uint8_t colors = 0;
    std::uint16_t planes = 1;
    std::uint16_t bit_count = 0;
    Bytes data;  // a DIB (BITMAPINFOHEADER, XOR and AND masks) or a PNG stream
};

// Validates an .ico file strictly (header, directory, every image's header
// against its directory entry and size) and returns its images.
std::vector<IconImage> parse_ico(const Bytes& file);

// The RT_GROUP_ICON data listing the images as RT_ICON ids 1..n.
Bytes build_icon_group(const std::vector<IconImage>& images);

// Number of entries in an RT_GROUP_ICON resource and the RT_ICON ids it names.
std::vector<std::uint16_t> icon_group_ids(const Bytes& group);

}  // namespace qdstamp
