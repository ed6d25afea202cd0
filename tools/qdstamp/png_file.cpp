#include "png_file.h"

#include <algorithm>
#include <array>
#include <string>

#include "png_decode.h"

namespace qdstamp {
namespace {

constexpr std::uint32_t kSignatureSize = 8;
constexpr std::uint32_t kLargestChunk = 0x7FFFFFFF;

constexpr std::uint32_t chunk_type(const char (&name)[5]) {
    return (std::uint32_t(std::uint8_t(name[0])) << 24) | (std::uint32_t(std::uint8_t(name[1])) << 16) |
           (std::uint32_t(std::uint8_t(name[2])) << 8) | std::uint32_t(std::uint8_t(name[3]));
}
constexpr std::uint32_t kIHDR = chunk_type("IHDR"), kPLTE = chunk_type("PLTE"), kIDAT = chunk_type("IDAT"),
                        kIEND = chunk_type("IEND"), kTRNS = chunk_type("tRNS");

std::string chunk_name(std::uint32_t type) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) name.push_back(static_cast<char>(type >> shift));
    return name;
}

bool is_letter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int channels_of(std::uint8_t colour_type) {
    switch (colour_type) {
        case 0: return 1;  // grey
        case 2: return 3;  // RGB
        case 3: return 1;  // palette index
        case 4: return 2;  // grey, alpha
        case 6: return 4;  // RGBA
        default: return 0;
    }
}

// The bit depths the format allows for each colour type.
bool valid_depth(std::uint8_t colour_type, std::uint8_t depth) {
    switch (colour_type) {
        case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2: case 4: case 6: return depth == 8 || depth == 16;
        default: return false;
    }
}

// What the file holds besides its header: the parts the decoding needs.
struct PngParts {
    PngHeader header;
    Bytes ihdr;      // the 13 bytes of IHDR's data
    Bytes palette;   // PLTE data, RGB triples
    Bytes trns;      // tRNS data
    Bytes zlib;      // the IDAT data joined: one zlib stream
};

PngHeader parse_ihdr(const ByteView& v, std::size_t at) {
    PngHeader h;
    h.width = v.u32be(at);
    h.height = v.u32be(at + 4);
    h.bit_depth = v.u8(at + 8);
    h.colour_type = v.u8(at + 9);
    const std::uint8_t compression = v.u8(at + 10), filter = v.u8(at + 11), interlace = v.u8(at + 12);
    if (h.width == 0 || h.height == 0 || h.width > kLargestChunk || h.height > kLargestChunk)
        fail("the PNG header gives the size " + std::to_string(h.width) + "x" + std::to_string(h.height) +
             ", which is not a picture");
    if (channels_of(h.colour_type) == 0) fail("the PNG header gives the unknown colour type " + std::to_string(h.colour_type));
    if (!valid_depth(h.colour_type, h.bit_depth))
        fail("the PNG header gives colour type " + std::to_string(h.colour_type) + " with " + std::to_string(h.bit_depth) +
             " bits per sample, a combination the PNG format does not have");
    if (compression != 0 || filter != 0 || interlace > 1)
        fail("the PNG header names an unknown compression, filter or interlace method");
    h.interlaced = interlace == 1;
    return h;
}

// Walks every chunk: each must lie inside the file with a matching CRC, and
// the critical ones must come once, in the order the format requires.
PngParts read_parts(const Bytes& file) {
    const char* format = picture_format(file);
    if (!format || std::string(format) != "PNG") fail("not a PNG file (no PNG signature)");
    ByteView v(file);
    PngParts parts;
    bool have_header = false, idat_ended = false, have_idat = false;
    std::size_t at = kSignatureSize;
    for (;;) {
        if (!v.fits(at, 12)) fail("the file ends at offset " + std::to_string(at) + " before its IEND chunk (truncated?)");
        const std::uint32_t length = v.u32be(at), type = v.u32be(at + 4);
        const std::string name = chunk_name(type);
        const std::string where = " at offset " + std::to_string(at);
        for (std::size_t i = 0; i < 4; ++i)
            if (!is_letter(file[at + 4 + i])) fail("no chunk name" + where + " (damaged file?)");
        if (length > kLargestChunk || !v.fits(at + 8, std::uint64_t{length} + 4))
            fail("chunk " + name + where + " runs past the end of the file (truncated?)");
        const std::uint8_t* data = file.data() + at + 8;
        if (crc32(file.data() + at + 4, length + 4) != v.u32be(at + 8 + length))
            fail("chunk " + name + where + " is damaged: its CRC does not match its data");
        if (!have_header && type != kIHDR) fail("the file does not begin with an IHDR chunk");
        if (have_idat && type != kIDAT) idat_ended = true;
        const bool critical = (type & 0x20000000) == 0;
        if (type == kIHDR) {
            if (have_header) fail("a second IHDR chunk" + where);
            if (length != 13) fail("the IHDR chunk has " + std::to_string(length) + " bytes instead of 13");
            parts.header = parse_ihdr(v, at + 8);
            parts.ihdr.assign(data, data + 13);
            have_header = true;
        } else if (type == kPLTE) {
            const std::uint8_t colour = parts.header.colour_type;
            if (colour == 0 || colour == 4) fail("a PLTE chunk" + where + " in a grey picture");
            if (!parts.palette.empty() || have_idat) fail("a PLTE chunk" + where + " after the image data or a second one");
            const std::uint32_t entries = length / 3;
            const std::uint32_t most = colour == 3 ? 1u << parts.header.bit_depth : 256;
            if (length % 3 != 0 || entries == 0 || entries > most)
                fail("the PLTE chunk" + where + " holds " + std::to_string(length) + " bytes, not 1 to " +
                     std::to_string(most) + " RGB entries");
            parts.palette.assign(data, data + length);
        } else if (type == kTRNS) {
            const std::uint8_t colour = parts.header.colour_type;
            if (have_idat || !parts.trns.empty()) fail("a tRNS chunk" + where + " after the image data or a second one");
            if (colour == 4 || colour == 6) fail("a tRNS chunk" + where + " in a picture that has an alpha channel");
            const bool fits = colour == 3 ? length >= 1 && length <= parts.palette.size() / 3
                                          : length == (colour == 0 ? 2u : 6u);
            if (!fits) fail("the tRNS chunk" + where + " has " + std::to_string(length) + " bytes, which does not fit " +
                            (colour == 3 ? "the palette before it" : "the colour type"));
            parts.trns.assign(data, data + length);
        } else if (type == kIDAT) {
            if (idat_ended) fail("the IDAT chunks are not one run: another chunk lies between them" + where);
            have_idat = true;
            parts.zlib.insert(parts.zlib.end(), data, data + length);
        } else if (type == kIEND) {
            if (length != 0) fail("the IEND chunk is not empty");
            const std::size_t end = at + 12;
            if (end != file.size())
                fail(std::to_string(file.size() - end) + " bytes follow the IEND chunk (damaged or joined files?)");
            break;
        } else if (critical) {
            fail("chunk " + name + where + " is marked critical but is not part of the PNG format; the picture "
                 "cannot be read without it (save it again as a standard PNG)");
        }
        at += 12 + std::size_t{length};
    }
    if (!have_idat) fail("the file has no image data (IDAT chunk)");
    if (parts.header.colour_type == 3 && parts.palette.empty()) fail("the palette picture has no PLTE chunk");
    return parts;
}

// Bytes of the filtered rows the compressed data must hold: one filter byte
// per row, for each of the seven passes of an interlaced picture.
std::uint64_t raw_size(const PngHeader& h) {
    const std::uint64_t bits = std::uint64_t(channels_of(h.colour_type)) * h.bit_depth;
    auto rows = [&](std::uint64_t width, std::uint64_t height) {
        return width == 0 || height == 0 ? 0 : height * (1 + (width * bits + 7) / 8);
    };
    if (!h.interlaced) return rows(h.width, h.height);
    static const int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};  // x0, y0, dx, dy
    std::uint64_t total = 0;
    for (const auto& p : kPasses)
        total += rows((h.width + p[2] - 1 - p[0]) / p[2], (h.height + p[3] - 1 - p[1]) / p[3]);
    return total;
}

void append_chunk(Bytes& out, std::uint32_t type, const Bytes& data) {
    const std::size_t start = out.size();
    for (std::uint32_t v : {static_cast<std::uint32_t>(data.size()), type})
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
    out.insert(out.end(), data.begin(), data.end());
    const std::uint32_t crc = crc32(out.data() + start + 4, data.size() + 4);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(crc >> shift));
}

// The picture again from only the chunks the decoding needs, so that the
// library sees nothing it might read differently.
Bytes rebuilt_png(const PngParts& parts, bool indices_as_grey) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr = parts.ihdr;
    if (indices_as_grey) ihdr[9] = 0;
    append_chunk(png, kIHDR, ihdr);
    if (!indices_as_grey && !parts.trns.empty()) append_chunk(png, kTRNS, parts.trns);
    append_chunk(png, kIDAT, parts.zlib);
    append_chunk(png, kIEND, {});
    return png;
}

// A palette picture decoded as grey of the same depth gives each pixel's
// index (scaled to 8 bits), which the palette and tRNS turn into colours here:
// a pixel may not name an entry the palette does not have.
Rgba16Image apply_palette(const PngParts& parts, const std::vector<std::uint16_t>& grey) {
    const std::uint16_t step = static_cast<std::uint16_t>(255 / ((1u << parts.header.bit_depth) - 1));
    const std::size_t entries = parts.palette.size() / 3;
    Rgba16Image image;
    image.width = parts.header.width;
    image.height = parts.header.height;
    image.samples.reserve(grey.size() * 4);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        const std::size_t index = grey[i] / step;
        if (index >= entries)
            fail("pixel " + std::to_string(i % image.width) + "," + std::to_string(i / image.width) + " uses palette entry " +
                 std::to_string(index) + ", but the palette has " + std::to_string(entries) + " entries");
        for (std::size_t c = 0; c < 3; ++c) image.samples.push_back(static_cast<std::uint16_t>(parts.palette[3 * index + c] * 257));
        image.samples.push_back(static_cast<std::uint16_t>((index < parts.trns.size() ? parts.trns[index] : 255) * 257));
    }
    return image;
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(const Bytes& data) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

PngHeader read_png_header(const Bytes& file) { return read_parts(file).header; }

Rgba16Image decode_png(const Bytes& file) {
    const PngParts parts = read_parts(file);
    const PngHeader& h = parts.header;
    const std::uint64_t expected = raw_size(h);
    const std::uint64_t pixels16 = std::uint64_t{h.width} * h.height * 8;
    if (expected > kLargestChunk || pixels16 > kLargestChunk) fail("the picture is too large to decode");
    // Room for the library's buffers, and no more: twice the largest one a
    // sound file of this size needs (its output grows by doubling).
    png_decode::limit_allocations(static_cast<std::size_t>(2 * std::max({expected, pixels16, std::uint64_t{file.size()}}) + 4096));

    // The library does not check the stream's own checksum, and reads a
    // stream cut short as if zeros followed; so the stream is inflated here
    // first and must hold exactly the header's rows and end with their Adler-32.
    Bytes rows;
    std::string why;
    if (!png_decode::inflate(parts.zlib, static_cast<std::size_t>(expected), &rows, &why))
        fail("the compressed image data is damaged (" + why + ")");
    if (rows.size() != expected)
        fail("the compressed image data holds " + std::to_string(rows.size()) + " bytes, but a " + std::to_string(h.width) +
             "x" + std::to_string(h.height) + " picture of this kind needs " + std::to_string(expected));
    if (parts.zlib.size() < 6 || ByteView(parts.zlib).u32be(parts.zlib.size() - 4) != adler32(rows))
        fail("the compressed image data is damaged: its checksum does not match");

    const bool palette = h.colour_type == 3;
    std::vector<std::uint16_t> samples;
    if (!png_decode::load(rebuilt_png(parts, palette), palette ? 1 : 4, palette ? 8 : 16, &samples, &why))
        fail("the image data cannot be decoded (" + why + ")");
    if (palette) return apply_palette(parts, samples);
    Rgba16Image image;
    image.width = h.width;
    image.height = h.height;
    image.samples = std::move(samples);
    return image;
}

}  // namespace qdstamp
