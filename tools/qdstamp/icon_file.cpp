#include "icon_file.h"

#include <string>

#include "bitmap_file.h"

namespace qdstamp {
namespace {

constexpr std::size_t kMaxImages = 64;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool is_png(const Bytes& data) {
    if (data.size() < 8) return false;
    for (int i = 0; i < 8; ++i)
        if (data[i] != kPngSignature[i]) return false;
    return true;
}

// Checks a PNG image's IHDR against the directory entry; returns bits per pixel.
std::uint16_t check_png(const Bytes& data, std::uint32_t width, std::uint32_t height, const std::string& label) {
    ByteView v(data);
    if (data.size() < 8 + 25 || v.u32be(8) != 13 || data[12] != 'I' || data[13] != 'H' || data[14] != 'D' || data[15] != 'R')
        fail(label + ": PNG image without an IHDR header");
    if (v.u32be(16) != width || v.u32be(20) != height)
        fail(label + ": PNG image is " + std::to_string(v.u32be(16)) + "x" + std::to_string(v.u32be(20)) +
             " but the directory says " + std::to_string(width) + "x" + std::to_string(height));
    std::uint8_t depth = data[24], color_type = data[25];
    int channels;
    switch (color_type) {
        case 0: channels = 1; break;
        case 2: channels = 3; break;
        case 3: channels = 1; break;
        case 4: channels = 2; break;
        case 6: channels = 4; break;
        default: fail(label + ": PNG image has an unknown color type");
    }
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) fail(label + ": PNG image has a bad bit depth");
    return static_cast<std::uint16_t>(depth * channels);
}

// Checks a DIB icon image against the directory entry; returns bits per pixel.
std::uint16_t check_dib(const Bytes& data, std::uint32_t width, std::uint32_t height, const std::string& label) {
    ByteView v(data);
    if (data.size() < 40 || v.u32(0) != 40) fail(label + ": image is neither a PNG nor a DIB with a 40-byte header");
    std::int32_t w = v.i32(4), h = v.i32(8);
    std::uint16_t planes = v.u16(12), bits = v.u16(14);
    std::uint32_t compression = v.u32(16), used = v.u32(32);
    if (w < 0 || static_cast<std::uint32_t>(w) != width || h < 0 || static_cast<std::uint32_t>(h) != 2 * height)
        fail(label + ": image header is " + std::to_string(w) + "x" + std::to_string(h) +
             " but the directory says " + std::to_string(width) + "x" + std::to_string(height) +
             " (the header height counts both masks)");
    if (planes != 1) fail(label + ": image must have one plane");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        fail(label + ": unsupported bit count " + std::to_string(bits));
    if (compression != 0) fail(label + ": compressed icon images are not supported");
    std::uint64_t palette = 0;
    if (bits <= 8) {
        std::uint64_t max = 1ull << bits;
        if (used > max) fail(label + ": palette larger than the bit count allows");
        palette = used ? used : max;
    }
    std::uint64_t xor_stride = (std::uint64_t{width} * bits + 31) / 32 * 4;
    std::uint64_t and_stride = (std::uint64_t{width} + 31) / 32 * 4;
    std::uint64_t need = 40 + 4 * palette + (xor_stride + and_stride) * height;
    if (data.size() < need)
        fail(label + ": image data is " + std::to_string(data.size()) + " bytes; its header needs " + std::to_string(need));
    return bits;
}

}  // namespace

std::vector<IconImage> parse_ico(const Bytes& file) {
    ByteView v(file);
    if (const char* format = picture_format(file); format && std::string(format) != "icon")
        fail(std::string("this is a ") + format + " file, not an icon file (.ico); convert it, for example: "
             "convert app.png -define icon:auto-resize=256,48,32,16 app.ico");
    if (file.size() < 6 || v.u16(0) != 0 || v.u16(2) != 1) fail("not an icon file (bad ICONDIR header)");
    std::uint16_t count = v.u16(4);
    if (count == 0) fail("the icon file holds no images");
    if (count > kMaxImages) fail("the icon file holds " + std::to_string(count) + " images; at most 64 are accepted");
    const std::uint64_t directory_end = 6 + 16ull * count;
    if (!v.fits(0, directory_end)) fail("the icon directory runs past the end of the file");

    std::vector<IconImage> images;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::size_t e = 6 + 16u * i;
        const std::string label = "image " + std::to_string(i + 1);
        IconImage img;
        img.width = file[e];
        img.height = file[e + 1];
        img.colors = file[e + 2];
        img.planes = v.u16(e + 4);
        img.bit_count = v.u16(e + 6);
        std::uint32_t size = v.u32(e + 8), offset = v.u32(e + 12);
        if (offset < directory_end || !v.fits(offset, size) || size == 0)
            fail(label + ": data (" + std::to_string(size) + " bytes at " + hex(offset) + ") lies outside the file");
        img.data = v.slice(offset, size);
        std::uint32_t width = img.width ? img.width : 256, height = img.height ? img.height : 256;
        std::uint16_t bits = is_png(img.data) ? check_png(img.data, width, height, label)
                                              : check_dib(img.data, width, height, label);
        // Many icon writers leave planes and bit count zero in the directory;
        // the group resource gets the values of the image itself.
        if (img.planes == 0) img.planes = 1;
        if (img.bit_count == 0) img.bit_count = bits;
        images.push_back(std::move(img));
    }
    return images;
}

Bytes build_icon_group(const std::vector<IconImage>& images) {
    Bytes out;
    append16(out, 0);
    append16(out, 1);
    append16(out, static_cast<std::uint16_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& img = images[i];
        out.push_back(img.width);
        out.push_back(img.height);
        out.push_back(img.colors);
        out.push_back(0);
        append16(out, img.planes);
        append16(out, img.bit_count);
        append32(out, static_cast<std::uint32_t>(img.data.size()));
        append16(out, static_cast<std::uint16_t>(i + 1));
    }
    return out;
}

std::vector<std::uint16_t> icon_group_ids(const Bytes& group) {
    std::vector<std::uint16_t> ids;
    ByteView v(group);
    if (!v.fits(0, 6)) return ids;
    std::uint16_t count = v.u16(4);
    for (std::uint16_t i = 0; i < count && v.fits(6 + 14u * i, 14); ++i) ids.push_back(v.u16(6 + 14u * i + 12));
    return ids;
}

}  // namespace qdstamp
