// Shared helpers for the qdstamp tests: fixture paths, scratch files, and
// in-memory .ico/.bmp/.qdcfg builders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "le_bytes.h"

namespace qdtest {

using qdstamp::Bytes;

// Fixture executables built by MinGW in the test build tree; empty when no
// cross compiler was found (tests needing them skip).
std::string fixture(const char* name);  // "resprobe.exe", "tiny.exe", "tiny-console.exe", "bare.exe"
std::string data_file(const char* name);  // files in tests/qdstamp/data

// A scratch directory per test, removed at the end of the test.
class Scratch {
public:
    Scratch();
    ~Scratch();
    std::string path(const std::string& name) const;
    std::string write(const std::string& name, const std::string& text) const;
    std::string write(const std::string& name, const Bytes& bytes) const;
    // Names of the files in the directory (to prove nothing was left behind).
    std::vector<std::string> files() const;

private:
    std::string dir_;
};

Bytes read(const std::string& path);
bool exists(const std::string& path);

// A BMP file: width x height, `bits` per pixel (1, 4, 8, 24 or 32).
Bytes make_bmp(int width, int height, int bits);
// The start of a PNG file: signature and IHDR (8-bit RGBA), no pixel data.
Bytes make_png(std::uint32_t width, std::uint32_t height);

// A complete PNG file written sample by sample: `samples` holds each pixel's
// samples (1 to 4 by colour type; palette indices for type 3) row by row, at
// the bit depth given. Compressed as stored deflate blocks, so the tests know
// every byte; `chunks_before_idat` (whole chunks, see png_chunk) go between
// IHDR and IDAT.
struct PngPicture {
    std::uint32_t width = 1, height = 1;
    std::uint8_t colour_type = 6, bit_depth = 8;
    bool interlaced = false;
    std::vector<std::uint16_t> samples;
    Bytes chunks_before_idat;
};
Bytes make_png_file(const PngPicture& picture);
// A zlib stream of stored blocks holding `raw`, with its Adler-32.
Bytes zlib_stored(const Bytes& raw);
// One chunk: length, type, data, CRC.
Bytes png_chunk(const char* type, const Bytes& data);
// An .ico file with one DIB image per (size, bits) pair.
Bytes make_ico(const std::vector<std::pair<int, int>>& images);

// A minimal valid configuration: line 1 is MSG_STARTUP_ERROR, the extra
// lines follow, then a jar, the working folder and version keys unless the
// extra lines give their own.
std::string config_with(const std::string& extra_lines);

// Runs a command line in-process; returns the exit code, output in *out/*err.
int run(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr);

std::uint16_t u16(const Bytes& b, std::size_t at);
std::uint32_t u32(const Bytes& b, std::size_t at);

}  // namespace qdtest
