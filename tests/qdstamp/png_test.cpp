// PNG splash pictures: every colour type and bit depth decoded against known
// pixels, the stored premultiplied bitmap and its rounding, and damaged files
// refused with a message that says what is wrong.
#include <gtest/gtest.h>

#include "png_file.h"
#include "splash_picture.h"
#include "test_support.h"

namespace {

using qdstamp::Bytes;
using qdtest::png_chunk;

constexpr std::uint16_t kFull = 0xFFFF;

Bytes joined(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

TEST(PngFile, EveryColourTypeAndDepthGivesTheKnownPixels) {
    const Bytes palette = png_chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255});
    const std::uint16_t g7 = 7 * 17 * 257, g8 = 8 * 17 * 257;  // 4-bit grey 7 and 8
    const struct {
        const char* name;
        qdtest::PngPicture picture;
        std::vector<std::uint16_t> rgba;  // straight RGBA16, pixel by pixel
    } cases[] = {
        {"grey 1 bit", {2, 1, 0, 1, false, {0, 1}}, {0, 0, 0, kFull, kFull, kFull, kFull, kFull}},
        {"grey 2 bits", {2, 1, 0, 2, false, {1, 2}}, {0x5555, 0x5555, 0x5555, kFull, 0xAAAA, 0xAAAA, 0xAAAA, kFull}},
        {"grey 4 bits, odd width", {3, 1, 0, 4, false, {7, 8, 15}}, {g7, g7, g7, kFull, g8, g8, g8, kFull, kFull, kFull, kFull, kFull}},
        {"grey 8 bits, a transparent value", {2, 1, 0, 8, false, {7, 8}, png_chunk("tRNS", {0, 7})},
         {7 * 257, 7 * 257, 7 * 257, 0, 8 * 257, 8 * 257, 8 * 257, kFull}},
        {"grey 8 bits, interlaced", {2, 2, 0, 8, true, {1, 2, 3, 4}},
         {257, 257, 257, kFull, 514, 514, 514, kFull, 771, 771, 771, kFull, 1028, 1028, 1028, kFull}},
        {"grey 16 bits", {1, 1, 0, 16, false, {0x1234}}, {0x1234, 0x1234, 0x1234, kFull}},
        {"grey and alpha 8 bits", {1, 1, 4, 8, false, {10, 20}}, {10 * 257, 10 * 257, 10 * 257, 20 * 257}},
        {"grey and alpha 16 bits", {1, 1, 4, 16, false, {0x0102, 0x8000}}, {0x0102, 0x0102, 0x0102, 0x8000}},
        {"RGB 8 bits", {1, 1, 2, 8, false, {1, 2, 3}}, {257, 2 * 257, 3 * 257, kFull}},
        {"RGB 16 bits, a transparent colour", {2, 1, 2, 16, false, {1, 2, 3, 1, 2, 4}, png_chunk("tRNS", {0, 1, 0, 2, 0, 3})},
         {1, 2, 3, 0, 1, 2, 4, kFull}},
        {"palette 2 bits, tRNS shorter than the palette", {3, 1, 3, 2, false, {2, 0, 1}, joined(palette, png_chunk("tRNS", {0x80}))},
         {0, 0, kFull, kFull, kFull, 0, 0, 0x8080, 0, kFull, 0, kFull}},
        {"palette 8 bits", {2, 1, 3, 8, false, {1, 2}, palette}, {0, kFull, 0, kFull, 0, 0, kFull, kFull}},
        {"RGBA 8 bits", {1, 1, 6, 8, false, {1, 2, 3, 4}}, {257, 2 * 257, 3 * 257, 4 * 257}},
        {"RGBA 16 bits", {1, 1, 6, 16, false, {1, 2, 3, 4}}, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) EXPECT_EQ(qdstamp::decode_png(qdtest::make_png_file(c.picture)).samples, c.rgba) << c.name;
}

TEST(PngFile, PremultiplicationRoundsToNearest) {
    const struct {
        std::uint16_t colour, alpha;
        std::uint8_t stored;
    } cases[] = {
        {kFull, kFull, 255}, {kFull, 0, 0},       {255 * 257, 128 * 257, 128}, {257, 128 * 257, 1},  // 0.502
        {257, 127 * 257, 0},                                                                          // 0.498
        {200 * 257, 100 * 257, 78},  // 78.43
        {0x8000, 0x8000, 64},        // 63.75 from 16-bit samples
        {kFull, 0x7FFF, 127},        // 127.498
    };
    for (const auto& c : cases) EXPECT_EQ(qdstamp::premultiply(c.colour, c.alpha), c.stored) << c.colour << " " << c.alpha;
}

TEST(PngFile, StoredAsPremultipliedBottomUpBgraAndABmpsAlphaLikewise) {
    // Top row: half-transparent red, opaque blue; bottom row: transparent, opaque white.
    const Bytes png = qdtest::make_png_file({2, 2, 6, 8, false, {255, 0, 0, 128, 0, 0, 255, 255, 9, 9, 9, 0, 255, 255, 255, 255}});
    const qdstamp::SplashPicture picture = qdstamp::read_splash_picture(png, 1);
    EXPECT_TRUE(picture.info.alpha);
    EXPECT_EQ(qdtest::u32(picture.dib, 0), 124u);  // BITMAPV5HEADER
    EXPECT_EQ(qdtest::u32(picture.dib, 8), 2u);    // positive height: bottom-up
    EXPECT_EQ(qdtest::u32(picture.dib, 52), 0xFF000000u);
    EXPECT_EQ(Bytes(picture.dib.begin() + 124, picture.dib.end()),
              (Bytes{0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 128, 128, 255, 0, 0, 255}));

    // A 2x1 BMP with a V3 header (bit fields with an alpha mask), straight alpha.
    Bytes bmp = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 70, 0, 0, 0};
    for (std::uint32_t v : {56u, 2u, 1u, 0x200001u, 3u, 8u, 0u, 0u, 0u, 0u, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u})
        qdstamp::append32(bmp, v);  // 0x200001: one plane, 32 bits
    bmp.insert(bmp.end(), {200, 100, 50, 128, 10, 20, 30, 0});
    const Bytes dib = qdstamp::read_splash_picture(bmp, 1).dib;
    EXPECT_EQ(Bytes(dib.end() - 8, dib.end()), (Bytes{100, 50, 25, 128, 0, 0, 0, 0}));
    bmp[70 + 3] = 0;  // every alpha 0: the mask is unused, the picture stays opaque as before
    EXPECT_FALSE(qdstamp::read_splash_picture(bmp, 1).info.alpha);
}

Bytes ihdr(std::uint32_t width, std::uint8_t depth, std::uint8_t colour) {
    return png_chunk("IHDR", {0, 0, 0, static_cast<std::uint8_t>(width), 0, 0, 0, 2, depth, colour, 0, 0, 0});
}

// A PNG of these chunks after the signature.
Bytes png_of(std::initializer_list<Bytes> chunks) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Bytes& c : chunks) png = joined(png, c);
    return png;
}

TEST(PngFile, DamagedFilesAreRefusedSayingWhatIsWrong) {
    const Bytes good = qdtest::make_png_file({2, 2, 0, 8, false, {1, 2, 3, 4}});
    const Bytes iend = png_chunk("IEND", {});
    const Bytes rows = {0, 1, 2, 0, 3, 4};  // two grey rows of two pixels, filter 0
    const Bytes idat = png_chunk("IDAT", qdtest::zlib_stored(rows));
    Bytes cut = qdtest::zlib_stored(rows), bad_sum = cut;
    cut.resize(cut.size() - 6);
    bad_sum.back() ^= 1;
    Bytes changed = good;
    changed[45] ^= 1;
    const struct {
        const char* name;
        Bytes file;
        const char* message;  // empty: valid
    } cases[] = {
        {"unknown ancillary chunk", png_of({ihdr(2, 8, 0), png_chunk("quIz", {1}), idat, iend}), ""},
        {"not a PNG", qdtest::make_bmp(2, 2, 24), "not a PNG file"},
        {"byte changed in IDAT", changed, "chunk IDAT at offset 33 is damaged: its CRC does not match its data"},
        {"cut inside IDAT", Bytes(good.begin(), good.begin() + 50), "chunk IDAT at offset 33 runs past the end of the file"},
        {"no IEND", Bytes(good.begin(), good.end() - 12), "before its IEND chunk (truncated?)"},
        {"data after IEND", joined(good, {1, 2, 3}), "3 bytes follow the IEND chunk"},
        {"unknown critical chunk", png_of({ihdr(2, 8, 0), png_chunk("CgBI", {0}), idat, iend}),
         "chunk CgBI at offset 33 is marked critical but is not part of the PNG format"},
        {"depth the colour type lacks", png_of({ihdr(2, 4, 2), idat, iend}), "colour type 2 with 4 bits per sample"},
        {"palette in a grey picture", png_of({ihdr(2, 8, 0), png_chunk("PLTE", {1, 2, 3}), idat, iend}), "in a grey picture"},
        {"IDAT chunks split", png_of({ihdr(2, 8, 0), idat, png_chunk("tEXt", {'a', 0}), idat, iend}), "not one run"},
        {"compressed data damaged", png_of({ihdr(2, 8, 0), png_chunk("IDAT", {0x78, 1, 7, 1, 2, 3, 4, 5}), iend}),
         "the compressed image data is damaged ("},
        {"one row short", png_of({ihdr(2, 8, 0), png_chunk("IDAT", qdtest::zlib_stored({0, 1, 2})), iend}),
         "holds 3 bytes, but a 2x2 picture of this kind needs 6"},
        {"stream cut short", png_of({ihdr(2, 8, 0), png_chunk("IDAT", cut), iend}), "the compressed image data"},
        {"checksum of the stream", png_of({ihdr(2, 8, 0), png_chunk("IDAT", bad_sum), iend}), "its checksum does not match"},
        {"pixel beyond the palette",
         png_of({ihdr(1, 2, 3), png_chunk("PLTE", {1, 2, 3, 4, 5, 6}), png_chunk("IDAT", qdtest::zlib_stored({0, 0x40, 0, 0xC0})), iend}),
         "pixel 0,1 uses palette entry 3, but the palette has 2 entries"},
    };
    for (const auto& c : cases) {
        std::string error;
        try {
            qdstamp::decode_png(c.file);
        } catch (const qdstamp::Failure& f) {
            error = f.what();
        }
        if (*c.message == 0) EXPECT_EQ(error, "") << c.name;
        else EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
}

}  // namespace
