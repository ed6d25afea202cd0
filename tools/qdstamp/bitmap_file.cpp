#include "bitmap_file.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace qdstamp {
namespace {

constexpr std::int32_t kMaxSide = 32768;
constexpr std::uint32_t kFileHeader = 14;
constexpr std::uint32_t kV5Header = 124;

struct Layout {
    DibInfo info;
    std::uint64_t header_bytes = 0;  // info header + masks + color table
    std::uint64_t pixel_bytes = 0;
};

// Validates the info header starting at `at`; `available` is the number of
// bytes from `at` to the end of the data.
Layout check_info_header(const ByteView& v, std::uint64_t at) {
    Layout l;
    std::uint32_t header = v.u32(at);
    if (header == 12) fail("OS/2 bitmaps (12-byte header) are not supported");
    if (header != 40 && header != 52 && header != 56 && header != 108 && header != 124)
        fail("unknown bitmap header size " + std::to_string(header));
    v.need(at, header, "bitmap header");
    l.info.width = v.i32(at + 4);
    l.info.height = v.i32(at + 8);
    std::uint16_t planes = v.u16(at + 12);
    l.info.bit_count = v.u16(at + 14);
    std::uint32_t compression = v.u32(at + 16);
    std::uint32_t image_size = v.u32(at + 20);
    std::uint32_t used = v.u32(at + 32);
    const std::int32_t h = l.info.height;
    if (l.info.width <= 0 || l.info.width > kMaxSide || h == 0 || h < -kMaxSide || h > kMaxSide)
        fail("bitmap size " + std::to_string(l.info.width) + "x" + std::to_string(h) + " is out of range");
    if (planes != 1) fail("bitmap must have one plane");
    const std::uint16_t bits = l.info.bit_count;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        fail("unsupported bit count " + std::to_string(bits));
    std::uint64_t masks = 0;
    switch (compression) {
        case 0: break;  // BI_RGB
        case 1:         // BI_RLE8
            if (bits != 8 || h < 0) fail("RLE8 compression needs a bottom-up 8-bit bitmap");
            break;
        case 2:  // BI_RLE4
            if (bits != 4 || h < 0) fail("RLE4 compression needs a bottom-up 4-bit bitmap");
            break;
        case 3:  // BI_BITFIELDS
            if (bits != 16 && bits != 32) fail("bit field masks need a 16- or 32-bit bitmap");
            if (header == 40) masks = 12;
            // From the V3 header on, the masks inside the header include one for alpha.
            l.info.alpha = bits == 32 && header >= 56 && v.u32(at + 52) != 0;
            break;
        default:
            fail("unsupported bitmap compression " + std::to_string(compression) + " (JPEG/PNG bitmaps cannot be loaded)");
    }
    std::uint64_t palette;
    if (bits <= 8) {
        if (used > (1u << bits)) fail("color table larger than the bit count allows");
        palette = used ? used : (1u << bits);
    } else {
        if (used > 256) fail("color table of " + std::to_string(used) + " entries is too large");
        palette = used;
    }
    l.header_bytes = header + masks + 4 * palette;
    const std::uint64_t rows = h < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(h)) : static_cast<std::uint64_t>(h);
    if (compression == 1 || compression == 2) {
        if (image_size == 0) fail("a compressed bitmap must give its image size");
        l.pixel_bytes = image_size;
    } else {
        l.pixel_bytes = (static_cast<std::uint64_t>(l.info.width) * bits + 31) / 32 * 4 * rows;
    }
    return l;
}

}  // namespace

Bytes bmp_to_dib(const Bytes& file) {
    ByteView v(file);
    if (const char* format = picture_format(file); format && std::string(format) != "BMP")
        fail(std::string("this is a ") + format + " file, but the splash picture must be a PNG or BMP file; convert it, "
             "for example: convert splash.jpg splash.png");
    if (file.size() < kFileHeader + 40 || file[0] != 'B' || file[1] != 'M') fail("not a BMP file (no BM header)");
    std::uint32_t declared = v.u32(2);
    if (declared != 0 && declared > file.size())
        fail("the BMP header says " + std::to_string(declared) + " bytes but the file has " + std::to_string(file.size()) +
             " (truncated?)");
    std::uint32_t pixels_at = v.u32(10);
    Layout l = check_info_header(v, kFileHeader);
    if (pixels_at < kFileHeader + l.header_bytes)
        fail("the pixel data offset " + std::to_string(pixels_at) + " overlaps the header and color table");
    if (!v.fits(pixels_at, l.pixel_bytes))
        fail("the pixel data (" + std::to_string(l.pixel_bytes) + " bytes at " + std::to_string(pixels_at) +
             ") runs past the end of the file (truncated?)");
    Bytes dib(file.begin() + kFileHeader, file.begin() + static_cast<std::ptrdiff_t>(kFileHeader + l.header_bytes));
    dib.insert(dib.end(), file.begin() + pixels_at, file.begin() + static_cast<std::ptrdiff_t>(pixels_at + l.pixel_bytes));
    return dib;
}

std::uint8_t premultiply(std::uint16_t colour, std::uint16_t alpha) {
    constexpr std::uint64_t kScale = 65535ull * 257ull;  // odd, so no value lies exactly halfway
    return static_cast<std::uint8_t>((std::uint64_t{colour} * alpha + kScale / 2) / kScale);
}

Bytes premultiplied_dib(const Rgba16Image& image) {
    const std::uint32_t pixel_bytes = image.width * image.height * 4;
    Bytes dib;
    dib.reserve(kV5Header + pixel_bytes);
    append32(dib, kV5Header);
    append32(dib, image.width);
    append32(dib, image.height);  // positive: rows bottom-up
    append16(dib, 1);
    append16(dib, 32);
    append32(dib, 3);  // BI_BITFIELDS
    append32(dib, pixel_bytes);
    for (int i = 0; i < 4; ++i) append32(dib, 0);  // resolution, color table
    for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) append32(dib, mask);
    append32(dib, 0x73524742);                      // LCS_sRGB
    for (int i = 0; i < 12; ++i) append32(dib, 0);  // endpoints and gamma, unused with sRGB
    append32(dib, 4);                               // LCS_GM_IMAGES
    for (int i = 0; i < 3; ++i) append32(dib, 0);   // no profile, reserved
    for (std::uint32_t row = image.height; row-- > 0;) {
        const std::uint16_t* p = image.samples.data() + std::size_t{row} * image.width * 4;
        for (std::uint32_t x = 0; x < image.width; ++x, p += 4) {
            dib.insert(dib.end(), {premultiply(p[2], p[3]), premultiply(p[1], p[3]), premultiply(p[0], p[3]),
                                   premultiply(p[3], 0xFFFF)});
        }
    }
    return dib;
}

Bytes premultiply_bmp_alpha(const Bytes& dib) {
    const DibInfo info = dib_info(dib);
    if (!info.alpha) return dib;
    ByteView v(dib);
    if (v.u32(40) != 0x00FF0000 || v.u32(44) != 0x0000FF00 || v.u32(48) != 0x000000FF || v.u32(52) != 0xFF000000)
        fail("the bitmap's alpha channel is not stored as the fourth byte after blue, green and red; save the picture "
             "as PNG instead");
    Rgba16Image image;
    image.width = static_cast<std::uint32_t>(info.width);
    image.height = static_cast<std::uint32_t>(info.height < 0 ? -info.height : info.height);
    const std::size_t pixels_at = dib.size() - std::size_t{image.width} * image.height * 4;
    bool any_alpha = false;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint32_t stored_row = info.height < 0 ? y : image.height - 1 - y;
        const std::uint8_t* p = dib.data() + pixels_at + std::size_t{stored_row} * image.width * 4;
        for (std::uint32_t x = 0; x < image.width; ++x, p += 4) {
            for (int sample : {2, 1, 0, 3}) image.samples.push_back(static_cast<std::uint16_t>(p[sample] * 257));
            any_alpha = any_alpha || p[3] != 0;
        }
    }
    if (any_alpha) return premultiplied_dib(image);
    Bytes opaque = dib;
    put32(opaque, 52, 0);
    return opaque;
}

const char* picture_format(const Bytes& file) {
    auto starts = [&](std::initializer_list<std::uint8_t> prefix) {
        return file.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), file.begin());
    };
    if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return "PNG";
    if (starts({0xFF, 0xD8, 0xFF})) return "JPEG";
    if (starts({'G', 'I', 'F', '8'})) return "GIF";
    if (starts({'B', 'M'})) return "BMP";
    if (starts({0, 0, 1, 0})) return "icon";
    return nullptr;
}

DibInfo dib_info(const Bytes& dib) {
    ByteView v(dib);
    Layout l = check_info_header(v, 0);
    if (!v.fits(0, l.header_bytes + l.pixel_bytes)) fail("bitmap resource is shorter than its header says");
    return l.info;
}

}  // namespace qdstamp
