// PNG splash pictures: every colour type and bit depth decoded against known
// pixels, interlacing that changes nothing, the premultiplied bitmap and its
// rounding, and damaged files refused with a message that says what is wrong.
#include <gtest/gtest.h>

#include <functional>

#include "png_file.h"
#include "splash_picture.h"
#include "test_support.h"

namespace {

using qdstamp::Bytes;
using qdtest::PngSpec;
using qdtest::png_chunk;
using Samples = std::vector<std::uint16_t>;

constexpr std::uint16_t kFull = 0xFFFF;

Bytes rgb(std::initializer_list<std::uint8_t> bytes) { return Bytes(bytes); }

struct DecodeCase {
    const char* name;
    PngSpec spec;
    Samples rgba;  // the straight RGBA16 samples expected, pixel by pixel
};

TEST(PngFile, EveryColourTypeAndDepthGivesTheKnownPixels) {
    const Bytes palette = png_chunk("PLTE", rgb({255, 0, 0, 0, 255, 0, 0, 0, 255}));
    Bytes palette_and_alpha = palette;  // entry 0 half transparent, the others opaque
    const Bytes trns = png_chunk("tRNS", rgb({0x80}));
    palette_and_alpha.insert(palette_and_alpha.end(), trns.begin(), trns.end());
    const std::vector<DecodeCase> cases = {
        {"grey 1 bit", {2, 1, 0, 1, false, {0, 1}}, {0, 0, 0, kFull, kFull, kFull, kFull, kFull}},
        {"grey 2 bits", {4, 1, 0, 2, false, {0, 1, 2, 3}},
         {0, 0, 0, kFull, 0x5555, 0x5555, 0x5555, kFull, 0xAAAA, 0xAAAA, 0xAAAA, kFull, kFull, kFull, kFull, kFull}},
        {"grey 4 bits, odd width", {3, 1, 0, 4, false, {7, 8, 15}},
         {7 * 17 * 257, 7 * 17 * 257, 7 * 17 * 257, kFull, 8 * 17 * 257, 8 * 17 * 257, 8 * 17 * 257, kFull, kFull, kFull,
          kFull, kFull}},
        {"grey 8 bits with a transparent value", {2, 1, 0, 8, false, {7, 8}, png_chunk("tRNS", rgb({0, 7}))},
         {7 * 257, 7 * 257, 7 * 257, 0, 8 * 257, 8 * 257, 8 * 257, kFull}},
        {"grey 16 bits", {1, 1, 0, 16, false, {0x1234}}, {0x1234, 0x1234, 0x1234, kFull}},
        {"grey and alpha 8 bits", {1, 1, 4, 8, false, {10, 20}}, {10 * 257, 10 * 257, 10 * 257, 20 * 257}},
        {"grey and alpha 16 bits", {1, 1, 4, 16, false, {0x0102, 0x8000}}, {0x0102, 0x0102, 0x0102, 0x8000}},
        {"RGB 8 bits", {1, 1, 2, 8, false, {1, 2, 3}}, {257, 2 * 257, 3 * 257, kFull}},
        {"RGB 16 bits with a transparent colour",
         {2, 1, 2, 16, false, {1, 2, 3, 1, 2, 4}, png_chunk("tRNS", rgb({0, 1, 0, 2, 0, 3}))},
         {1, 2, 3, 0, 1, 2, 4, kFull}},
        {"palette 2 bits with tRNS shorter than the palette", {3, 1, 3, 2, false, {2, 0, 1}, palette_and_alpha},
         {0, 0, kFull, kFull, kFull, 0, 0, 0x8080, 0, kFull, 0, kFull}},
        {"palette 8 bits", {2, 1, 3, 8, false, {1, 2}, palette}, {0, kFull, 0, kFull, 0, 0, kFull, kFull}},
        {"RGBA 8 bits", {1, 1, 6, 8, false, {1, 2, 3, 4}}, {257, 2 * 257, 3 * 257, 4 * 257}},
        {"RGBA 16 bits", {1, 1, 6, 16, false, {1, 2, 3, 4}}, {1, 2, 3, 4}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(qdstamp::decode_png(qdtest::make_png_file(c.spec)).samples, c.rgba);
    }
}

TEST(PngFile, InterlacingChangesNoPixel) {
    // Nine by nine pixels reach every one of the seven passes.
    for (std::uint8_t depth : {1, 8, 16}) {
        PngSpec spec{9, 9, 0, depth, false, {}};
        for (std::uint16_t i = 0; i < 81; ++i) spec.samples.push_back(static_cast<std::uint16_t>((i * 37) % (1u << depth)));
        const Samples plain = qdstamp::decode_png(qdtest::make_png_file(spec)).samples;
        spec.interlaced = true;
        EXPECT_EQ(qdstamp::decode_png(qdtest::make_png_file(spec)).samples, plain) << int(depth);
    }
}

TEST(PngFile, PremultiplicationRoundsToNearest) {
    const struct {
        std::uint16_t colour, alpha;
        std::uint8_t stored;
    } cases[] = {
        {kFull, kFull, 255},      {kFull, 0, 0},          {255 * 257, 128 * 257, 128},
        {1 * 257, 128 * 257, 1},  // 0.502
        {1 * 257, 127 * 257, 0},  // 0.498
        {200 * 257, 100 * 257, 78},  // 78.43
        {128 * 257, 128 * 257, 64},  // 64.25
        {0x8000, 0x8000, 64},        // 63.75 from 16-bit samples
        {kFull, 0x7FFF, 127},        // 127.498
        {kFull, 0x8080, 128},        // exactly 128
    };
    for (const auto& c : cases)
        EXPECT_EQ(qdstamp::premultiply(c.colour, c.alpha), c.stored) << c.colour << " " << c.alpha;
}

TEST(PngFile, SplashBitmapIsPremultipliedBottomUpBgra) {
    // Top row: half-transparent red, opaque blue; bottom row: transparent, opaque white.
    PngSpec spec{2, 2, 6, 8, false, {255, 0, 0, 128, 0, 0, 255, 255, 9, 9, 9, 0, 255, 255, 255, 255}};
    const qdstamp::SplashPicture picture = qdstamp::read_splash_picture(qdtest::make_png_file(spec), 1);
    EXPECT_EQ(picture.info.bit_count, 32);
    EXPECT_TRUE(picture.info.alpha);
    ASSERT_EQ(picture.dib.size(), 124u + 16u);
    EXPECT_EQ(qdtest::u32(picture.dib, 0), 124u);  // BITMAPV5HEADER
    EXPECT_EQ(qdtest::u32(picture.dib, 8), 2u);    // positive height: bottom-up
    EXPECT_EQ(qdtest::u32(picture.dib, 16), 3u);   // BI_BITFIELDS
    EXPECT_EQ(qdtest::u32(picture.dib, 52), 0xFF000000u);
    EXPECT_EQ(Bytes(picture.dib.begin() + 124, picture.dib.end()),
              (Bytes{0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 128, 128, 255, 0, 0, 255}));
}

TEST(PngFile, BmpAlphaIsPremultipliedAndAnUnusedAlphaMaskDropped) {
    // A 2x1 BMP with a V3 header (56 bytes: bit fields with an alpha mask), top-down.
    auto bmp = [](std::uint8_t first_alpha) {
        Bytes b = {'B', 'M'};
        qdstamp::append32(b, 14 + 56 + 8);
        qdstamp::append32(b, 0);
        qdstamp::append32(b, 14 + 56);
        for (std::uint32_t v : {56u, 2u, static_cast<std::uint32_t>(-1)}) qdstamp::append32(b, v);
        qdstamp::append16(b, 1);
        qdstamp::append16(b, 32);
        for (std::uint32_t v : {3u, 8u, 0u, 0u, 0u, 0u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
            qdstamp::append32(b, v);
        b.insert(b.end(), {200, 100, 50, first_alpha, 10, 20, 30, 0});
        return b;
    };
    const qdstamp::SplashPicture with_alpha = qdstamp::read_splash_picture(bmp(128), 1);
    EXPECT_EQ(qdtest::u32(with_alpha.dib, 0), 124u);
    EXPECT_EQ(Bytes(with_alpha.dib.begin() + 124, with_alpha.dib.end()), (Bytes{100, 50, 25, 128, 0, 0, 0, 0}));

    const qdstamp::SplashPicture unused = qdstamp::read_splash_picture(bmp(0), 1);
    EXPECT_FALSE(unused.info.alpha) << "shown opaque, as before";
    EXPECT_EQ(Bytes(unused.dib.end() - 8, unused.dib.end()), (Bytes{200, 100, 50, 0, 10, 20, 30, 0}));
}

struct Damage {
    const char* name;
    std::function<Bytes()> file;
    const char* message;
};

Bytes ihdr(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colour) {
    Bytes data;
    for (std::uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8) data.push_back(static_cast<std::uint8_t>(v >> s));
    data.insert(data.end(), {depth, colour, 0, 0, 0});
    return png_chunk("IHDR", data);
}

// A PNG made of these chunks, after the signature.
Bytes png_of(std::initializer_list<Bytes> chunks) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Bytes& c : chunks) png.insert(png.end(), c.begin(), c.end());
    return png;
}

// Two grey 8-bit rows of two pixels, filter type 0.
const Bytes kRows = {0, 1, 2, 0, 3, 4};

TEST(PngFile, DamagedFilesAreRefusedSayingWhatIsWrong) {
    const Bytes good = qdtest::make_png_file({2, 2, 0, 8, false, {1, 2, 3, 4}});
    const Bytes iend = png_chunk("IEND", {});
    const Bytes idat = png_chunk("IDAT", qdtest::zlib_stored(kRows));
    const std::vector<Damage> cases = {
        {"valid", [&] { return good; }, ""},
        {"unknown ancillary chunk", [&] { return png_of({ihdr(2, 2, 8, 0), png_chunk("quIz", {1}), idat, iend}); }, ""},
        {"not a PNG", [&] { return qdtest::make_bmp(2, 2, 24); }, "not a PNG file"},
        {"byte changed in IDAT", [&] { Bytes b = good; b[45] ^= 1; return b; },
         "chunk IDAT at offset 33 is damaged: its CRC does not match its data"},
        {"cut inside IDAT", [&] { return Bytes(good.begin(), good.begin() + 50); }, "chunk IDAT at offset 33 runs past the end of the file (truncated?)"},
        {"no IEND", [&] { return Bytes(good.begin(), good.end() - 12); }, "before its IEND chunk (truncated?)"},
        {"data after IEND", [&] { Bytes b = good; b.insert(b.end(), {1, 2, 3}); return b; }, "3 bytes follow the IEND chunk"},
        {"IHDR not first", [&] { return png_of({png_chunk("gAMA", {0, 0, 0, 1}), ihdr(2, 2, 8, 0), idat, iend}); },
         "does not begin with an IHDR chunk"},
        {"unknown critical chunk", [&] { return png_of({ihdr(2, 2, 8, 0), png_chunk("CgBI", {0, 0, 0, 0}), idat, iend}); },
         "chunk CgBI at offset 33 is marked critical but is not part of the PNG format"},
        {"no size", [&] { return png_of({ihdr(0, 2, 8, 0), idat, iend}); }, "gives the size 0x2"},
        {"depth the colour type lacks", [&] { return png_of({ihdr(2, 2, 4, 2), idat, iend}); },
         "colour type 2 with 4 bits per sample"},
        {"unknown colour type", [&] { return png_of({ihdr(2, 2, 8, 5), idat, iend}); }, "unknown colour type 5"},
        {"palette in a grey picture", [&] { return png_of({ihdr(2, 2, 8, 0), png_chunk("PLTE", {1, 2, 3}), idat, iend}); },
         "a PLTE chunk at offset 33 in a grey picture"},
        {"palette picture without palette", [&] { return png_of({ihdr(2, 2, 8, 3), idat, iend}); }, "has no PLTE chunk"},
        {"tRNS with alpha", [&] { return png_of({ihdr(2, 2, 8, 4), png_chunk("tRNS", {0, 1}), idat, iend}); },
         "in a picture that has an alpha channel"},
        {"IDAT chunks split", [&] { return png_of({ihdr(2, 2, 8, 0), idat, png_chunk("tEXt", {'a', 0}), idat, iend}); },
         "the IDAT chunks are not one run"},
        {"no image data", [&] { return png_of({ihdr(2, 2, 8, 0), iend}); }, "has no image data"},
        {"compressed data damaged", [&] { return png_of({ihdr(2, 2, 8, 0), png_chunk("IDAT", {0x78, 0x01, 0x07, 1, 2, 3, 4, 5}), iend}); },
         "the compressed image data is damaged ("},
        {"one row short", [&] { return png_of({ihdr(2, 2, 8, 0), png_chunk("IDAT", qdtest::zlib_stored({0, 1, 2})), iend}); },
         "holds 3 bytes, but a 2x2 picture of this kind needs 6"},
        {"stream cut short", [&] {
             Bytes zlib = qdtest::zlib_stored(kRows);
             zlib.resize(zlib.size() - 6);
             return png_of({ihdr(2, 2, 8, 0), png_chunk("IDAT", zlib), iend});
         }, "the compressed image data"},
        {"checksum of the stream", [&] {
             Bytes zlib = qdtest::zlib_stored(kRows);
             zlib.back() ^= 1;
             return png_of({ihdr(2, 2, 8, 0), png_chunk("IDAT", zlib), iend});
         }, "its checksum does not match"},
        {"pixel beyond the palette", [&] {
             return png_of({ihdr(2, 1, 2, 3), png_chunk("PLTE", {1, 2, 3, 4, 5, 6}), png_chunk("IDAT", qdtest::zlib_stored({0, 0x30})), iend});
         }, "pixel 1,0 uses palette entry 3, but the palette has 2 entries"},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        try {
            qdstamp::decode_png(c.file());
        } catch (const qdstamp::Failure& f) {
            error = f.what();
        }
        if (*c.message == 0) EXPECT_EQ(error, "");
        else EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

}  // namespace
