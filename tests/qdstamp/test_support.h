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
