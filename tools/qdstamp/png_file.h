// PNG pictures for the splash screen: strict checks of the file's structure
// (chunks, checksums, header fields, the compressed data's size and checksum)
// before a decoding library turns it into pixels.
#pragma once

#include <cstdint>

#include "bitmap_file.h"
#include "le_bytes.h"

namespace qdstamp {

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bit_depth = 0;
    std::uint8_t colour_type = 0;
    bool interlaced = false;
};

// Checks the whole file and returns its header; throws Failure naming what is
// wrong: a damaged or truncated chunk (CRC), header fields outside the PNG
// format, a critical chunk other than IHDR, PLTE, IDAT and IEND, chunks out
// of order, anything after IEND.
PngHeader read_png_header(const Bytes& file);

// Decodes a file that read_png_header accepts into straight (not
// premultiplied) RGBA samples of 16 bits; 8-bit files give v * 257. Throws
// Failure when the compressed data is damaged or does not hold exactly the
// rows the header describes, or when a pixel names a palette entry the file
// does not have.
Rgba16Image decode_png(const Bytes& file);

// The CRC-32 of PNG chunks (and zip files), and the Adler-32 that ends a zlib
// stream.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size);
std::uint32_t adler32(const Bytes& data);

}  // namespace qdstamp
