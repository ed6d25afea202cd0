#include "test_support.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "commands.h"
#include "file_io.h"
#include "png_file.h"

namespace fs = std::filesystem;

namespace qdtest {

std::string fixture(const char* name) {
    std::string dir = QDSTAMP_FIXTURE_DIR;
    if (dir.empty()) return {};
    std::string p = dir + "/" + name;
    return fs::exists(p) ? p : std::string();
}

std::string data_file(const char* name) { return std::string(QDSTAMP_DATA_DIR) + "/" + name; }

Scratch::Scratch() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("qdstamp-test-" + std::to_string(rd()));
        if (fs::create_directory(p)) {
            dir_ = p.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch directory");
}

Scratch::~Scratch() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string Scratch::path(const std::string& name) const { return dir_ + "/" + name; }

std::string Scratch::write(const std::string& name, const std::string& text) const {
    return write(name, Bytes(text.begin(), text.end()));
}

std::string Scratch::write(const std::string& name, const Bytes& bytes) const {
    std::string p = path(name);
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
}

std::vector<std::string> Scratch::files() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

Bytes read(const std::string& path) { return qdstamp::read_file(path); }
bool exists(const std::string& path) { return fs::exists(path); }

Bytes make_bmp(int width, int height, int bits) {
    const int palette = bits <= 8 ? (1 << bits) : 0;
    const std::uint32_t stride = static_cast<std::uint32_t>((width * bits + 31) / 32 * 4);
    const std::uint32_t pixels = stride * static_cast<std::uint32_t>(height);
    const std::uint32_t offset = 14 + 40 + 4 * palette;
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    qdstamp::append32(b, offset + pixels);
    qdstamp::append32(b, 0);
    qdstamp::append32(b, offset);
    qdstamp::append32(b, 40);
    qdstamp::append32(b, static_cast<std::uint32_t>(width));
    qdstamp::append32(b, static_cast<std::uint32_t>(height));
    qdstamp::append16(b, 1);
    qdstamp::append16(b, static_cast<std::uint16_t>(bits));
    for (int i = 0; i < 6; ++i) qdstamp::append32(b, 0);
    for (int i = 0; i < palette; ++i) qdstamp::append32(b, static_cast<std::uint32_t>(i * 0x010101));
    for (std::uint32_t i = 0; i < pixels; ++i) b.push_back(static_cast<std::uint8_t>(i * 7));
    return b;
}

Bytes make_png(std::uint32_t width, std::uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<std::uint8_t>(v >> s));
    png.insert(png.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});  // depth 8, RGBA, CRC (not checked)
    return png;
}

Bytes png_chunk(const char* type, const Bytes& data) {
    Bytes chunk;
    for (int s = 24; s >= 0; s -= 8) chunk.push_back(static_cast<std::uint8_t>(data.size() >> s));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    const std::uint32_t crc = qdstamp::crc32(chunk.data() + 4, data.size() + 4);
    for (int s = 24; s >= 0; s -= 8) chunk.push_back(static_cast<std::uint8_t>(crc >> s));
    return chunk;
}

namespace {

// Filtered rows (filter type 0) of the pixels in one interlace pass.
void append_rows(const PngPicture& picture, int x0, int y0, int dx, int dy, Bytes& raw) {
    const int channels = picture.colour_type == 2 ? 3 : picture.colour_type == 4 ? 2 : picture.colour_type == 6 ? 4 : 1;
    for (std::uint32_t y = y0; y < picture.height; y += dy) {
        if (static_cast<std::uint32_t>(x0) >= picture.width) return;
        raw.push_back(0);
        std::uint32_t bits = 0, filled = 0;
        for (std::uint32_t x = x0; x < picture.width; x += dx) {
            for (int c = 0; c < channels; ++c) {
                const std::uint16_t v = picture.samples[(std::size_t{y} * picture.width + x) * channels + c];
                if (picture.bit_depth == 16) {
                    raw.push_back(static_cast<std::uint8_t>(v >> 8));
                    raw.push_back(static_cast<std::uint8_t>(v));
                    continue;
                }
                bits = (bits << picture.bit_depth) | v;
                filled += picture.bit_depth;
                if (filled == 8) {
                    raw.push_back(static_cast<std::uint8_t>(bits));
                    bits = filled = 0;
                }
            }
        }
        if (filled > 0) raw.push_back(static_cast<std::uint8_t>(bits << (8 - filled)));
    }
}

}  // namespace

Bytes zlib_stored(const Bytes& raw) {
    Bytes zlib = {0x78, 0x01};
    std::size_t at = 0;
    do {  // blocks of at most 65535 bytes
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        zlib.push_back(at + n == raw.size() ? 1 : 0);
        for (std::uint16_t v : {static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(~n)}) qdstamp::append16(zlib, v);
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    const std::uint32_t adler = qdstamp::adler32(raw);
    for (int s = 24; s >= 0; s -= 8) zlib.push_back(static_cast<std::uint8_t>(adler >> s));
    return zlib;
}

Bytes make_png_file(const PngPicture& picture) {
    Bytes raw;
    if (!picture.interlaced) {
        append_rows(picture, 0, 0, 1, 1, raw);
    } else {
        for (auto [x0, y0, dx, dy] : {std::array<int, 4>{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}})
            append_rows(picture, x0, y0, dx, dy, raw);
    }
    const Bytes zlib = zlib_stored(raw);
    Bytes ihdr;
    for (std::uint32_t v : {picture.width, picture.height})
        for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<std::uint8_t>(v >> s));
    ihdr.insert(ihdr.end(), {picture.bit_depth, picture.colour_type, 0, 0, static_cast<std::uint8_t>(picture.interlaced ? 1 : 0)});
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Bytes& chunk : {png_chunk("IHDR", ihdr), picture.chunks_before_idat, png_chunk("IDAT", zlib), png_chunk("IEND", {})})
        png.insert(png.end(), chunk.begin(), chunk.end());
    return png;
}

Bytes make_ico(const std::vector<std::pair<int, int>>& images) {
    std::vector<Bytes> dibs;
    for (auto [size, bits] : images) {
        Bytes d;
        const int palette = bits <= 8 ? (1 << bits) : 0;
        qdstamp::append32(d, 40);
        qdstamp::append32(d, static_cast<std::uint32_t>(size));
        qdstamp::append32(d, static_cast<std::uint32_t>(2 * size));
        qdstamp::append16(d, 1);
        qdstamp::append16(d, static_cast<std::uint16_t>(bits));
        for (int i = 0; i < 6; ++i) qdstamp::append32(d, 0);
        for (int i = 0; i < palette; ++i) qdstamp::append32(d, static_cast<std::uint32_t>(i * 0x010203));
        const int xor_stride = (size * bits + 31) / 32 * 4, and_stride = (size + 31) / 32 * 4;
        for (int i = 0; i < (xor_stride + and_stride) * size; ++i) d.push_back(static_cast<std::uint8_t>(i % 251));
        dibs.push_back(d);
    }
    Bytes b;
    qdstamp::append16(b, 0);
    qdstamp::append16(b, 1);
    qdstamp::append16(b, static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        b.push_back(static_cast<std::uint8_t>(images[i].first == 256 ? 0 : images[i].first));
        b.push_back(static_cast<std::uint8_t>(images[i].first == 256 ? 0 : images[i].first));
        b.push_back(0);
        b.push_back(0);
        qdstamp::append16(b, 1);
        qdstamp::append16(b, static_cast<std::uint16_t>(images[i].second));
        qdstamp::append32(b, static_cast<std::uint32_t>(dibs[i].size()));
        qdstamp::append32(b, offset);
        offset += static_cast<std::uint32_t>(dibs[i].size());
    }
    for (const Bytes& d : dibs) b.insert(b.end(), d.begin(), d.end());
    return b;
}

std::string config_with(const std::string& extra_lines) {
    std::string text = "MSG_STARTUP_ERROR = The application could not start.\n" + extra_lines;
    // What every launch needs, unless the lines under test say otherwise.
    auto mentions = [&](const char* name) { return extra_lines.find(name) != std::string::npos; };
    if (!mentions("CFG_JAR") && !mentions("CFG_MAIN_CLASS") && !mentions("CFG_MODULE ")) text += "CFG_JAR = app.jar\n";
    if (!mentions("CFG_WORK_DIR")) text += "CFG_WORK_DIR = .\n";
    bool version_key = false;
    for (const char* key : {"PRODUCT_NAME", "COMPANY_NAME", "FILE_DESCRIPTION", "FILE_VERSION", "PRODUCT_VERSION", "COPYRIGHT",
                            "TRADEMARKS", "ORIGINAL_FILENAME", "INTERNAL_NAME", "COMMENTS"})
        version_key = version_key || mentions(key);
    if (!version_key) text += "PRODUCT_NAME = Test\nFILE_VERSION = 1.0.0.0\n";
    return text;
}

int run(const std::vector<std::string>& args, std::string* out, std::string* err) {
    std::ostringstream o, e;
    int code = qdstamp::run_command_line(args, o, e);
    if (out) *out = o.str();
    if (err) *err = e.str();
    return code;
}

std::uint16_t u16(const Bytes& b, std::size_t at) { return qdstamp::ByteView(b).u16(at); }
std::uint32_t u32(const Bytes& b, std::size_t at) { return qdstamp::ByteView(b).u32(at); }

}  // namespace qdtest
