// The PNG decoding library (stb_image) as png_file.cpp uses it. It is handed
// only files that png_file.cpp has already checked and rebuilt from their
// known chunks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "le_bytes.h"

namespace qdstamp::png_decode {

// No single allocation of the library may exceed this many bytes; a request
// beyond it fails the decoding like a damaged file would.
void limit_allocations(std::size_t bytes);

// Decompresses a zlib stream (with its two-byte header). `expected` is the
// size the caller expects, a first guess for the output buffer. False with
// the library's reason when the stream is damaged.
bool inflate(const Bytes& stream, std::size_t expected, Bytes* out, std::string* why);

// Decodes a PNG file into `channels` samples per pixel (rows top-down), each
// widened to `bits` (8 or 16); 8-bit files give 16-bit samples as v * 257.
bool load(const Bytes& png, int channels, int bits, std::vector<std::uint16_t>* samples, std::string* why);

}  // namespace qdstamp::png_decode
