// Strict validation of .ico and .bmp inputs.
#include <gtest/gtest.h>

#include <functional>

#include "bitmap_file.h"
#include "icon_file.h"
#include "test_support.h"

namespace {

using qdstamp::Bytes;
using qdstamp::put16;
using qdstamp::put32;

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
    const char* message;  // expected error text; empty: still valid
};

// Offsets in an .ico with one image: directory entry at 6, image at 22.
TEST(IconFile, Validation) {
    const std::vector<Damage> cases = {
        {"valid", [](Bytes&) {}, ""},
        {"zero planes and bits in the directory", [](Bytes& b) { put16(b, 10, 0); put16(b, 12, 0); }, ""},
        {"256 pixels written as 0", [](Bytes& b) { b = qdtest::make_ico({{256, 32}}); }, ""},
        {"cursor file", [](Bytes& b) { put16(b, 2, 2); }, "not an icon file"},
        {"reserved set", [](Bytes& b) { put16(b, 0, 1); }, "not an icon file"},
        {"no images", [](Bytes& b) { put16(b, 4, 0); }, "holds no images"},
        {"too many images", [](Bytes& b) { put16(b, 4, 65); }, "at most 64"},
        {"directory truncated", [](Bytes& b) { put16(b, 4, 3); b.resize(30); }, "runs past the end"},
        {"data offset outside", [](Bytes& b) { put32(b, 18, 0x100000); }, "lies outside the file"},
        {"data size too large", [](Bytes& b) { put32(b, 14, static_cast<std::uint32_t>(b.size())); }, "lies outside the file"},
        {"data offset inside the directory", [](Bytes& b) { put32(b, 18, 4); }, "lies outside the file"},
        {"width differs", [](Bytes& b) { b[6] = 32; }, "image header is 16x32 but the directory says 32x16"},
        {"height not doubled", [](Bytes& b) { put32(b, 22 + 8, 16); }, "the header height counts both masks"},
        {"two planes", [](Bytes& b) { put16(b, 22 + 12, 2); }, "one plane"},
        {"odd bit count", [](Bytes& b) { put16(b, 22 + 14, 7); }, "unsupported bit count 7"},
        {"compressed", [](Bytes& b) { put32(b, 22 + 16, 1); }, "compressed icon images"},
        {"image data short", [](Bytes& b) { put32(b, 14, 40 + 100); b.resize(22 + 140); }, "its header needs"},
        {"not a DIB", [](Bytes& b) { put32(b, 22, 12); }, "neither a PNG nor a DIB"},
        {"truncated file", [](Bytes& b) { b.resize(b.size() - 1); }, "lies outside the file"},
        {"text file", [](Bytes& b) { b.assign({'h', 'i', '\n'}); }, "not an icon file"},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes ico = qdtest::make_ico({{16, 32}});
        c.apply(ico);
        std::string error;
        try {
            auto images = qdstamp::parse_ico(ico);
            EXPECT_FALSE(images.empty());
            for (const auto& img : images) {
                EXPECT_EQ(img.planes, 1);
                EXPECT_NE(img.bit_count, 0);
            }
        } catch (const qdstamp::Failure& f) {
            error = f.what();
        }
        if (*c.message == 0) EXPECT_EQ(error, "");
        else EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

Bytes png_ico(std::uint32_t ihdr_width, std::uint32_t ihdr_height, std::uint8_t entry_size) {
    const Bytes png = qdtest::make_png(ihdr_width, ihdr_height);
    Bytes ico;
    qdstamp::append16(ico, 0);
    qdstamp::append16(ico, 1);
    qdstamp::append16(ico, 1);
    ico.insert(ico.end(), {entry_size, entry_size, 0, 0});
    qdstamp::append16(ico, 0);
    qdstamp::append16(ico, 0);
    qdstamp::append32(ico, static_cast<std::uint32_t>(png.size()));
    qdstamp::append32(ico, 22);
    ico.insert(ico.end(), png.begin(), png.end());
    return ico;
}

TEST(IconFile, PngImagesAreCheckedAgainstTheDirectory) {
    auto images = qdstamp::parse_ico(png_ico(256, 256, 0));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].bit_count, 32);
    try {
        qdstamp::parse_ico(png_ico(128, 128, 0));
        ADD_FAILURE() << "size mismatch accepted";
    } catch (const qdstamp::Failure& f) {
        EXPECT_NE(std::string(f.what()).find("PNG image is 128x128 but the directory says 256x256"), std::string::npos) << f.what();
    }
}

TEST(IconFile, GroupListsImagesAsIdsOneToN) {
    auto images = qdstamp::parse_ico(qdtest::make_ico({{16, 32}, {32, 8}}));
    Bytes group = qdstamp::build_icon_group(images);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(qdstamp::icon_group_ids(group), (std::vector<std::uint16_t>{1, 2}));
    EXPECT_EQ(qdtest::u32(group, 6 + 8), images[0].data.size());  // bytes in resource
    EXPECT_EQ(qdtest::u16(group, 20 + 6), 8);                      // bit count of image 2
}

// Offsets in a .bmp: file header 0..13, info header at 14.
TEST(BitmapFile, Validation) {
    const std::vector<Damage> cases = {
        {"valid", [](Bytes&) {}, ""},
        {"declared size zero", [](Bytes& b) { put32(b, 2, 0); }, ""},
        {"top-down rows", [](Bytes& b) { put32(b, 14 + 8, static_cast<std::uint32_t>(-4)); }, ""},
        {"no BM", [](Bytes& b) { b[0] = 'X'; }, "not a BMP file"},
        {"too short", [](Bytes& b) { b.resize(30); }, "not a BMP file"},
        {"OS/2 header", [](Bytes& b) { put32(b, 14, 12); }, "OS/2 bitmaps"},
        {"unknown header size", [](Bytes& b) { put32(b, 14, 64); }, "unknown bitmap header size 64"},
        {"zero width", [](Bytes& b) { put32(b, 14 + 4, 0); }, "out of range"},
        {"zero height", [](Bytes& b) { put32(b, 14 + 8, 0); }, "out of range"},
        {"huge width", [](Bytes& b) { put32(b, 14 + 4, 0x7FFFFFFF); }, "out of range"},
        {"two planes", [](Bytes& b) { put16(b, 14 + 12, 2); }, "one plane"},
        {"odd bit count", [](Bytes& b) { put16(b, 14 + 14, 7); }, "unsupported bit count 7"},
        {"JPEG inside", [](Bytes& b) { put32(b, 14 + 16, 4); }, "unsupported bitmap compression 4"},
        {"RLE on 24 bits", [](Bytes& b) { put32(b, 14 + 16, 1); }, "RLE8 compression needs"},
        {"bit fields on 24 bits", [](Bytes& b) { put32(b, 14 + 16, 3); }, "bit field masks need"},
        {"huge color table", [](Bytes& b) { put32(b, 14 + 32, 100000); }, "color table of 100000 entries"},
        {"pixels overlap header", [](Bytes& b) { put32(b, 10, 20); }, "overlaps the header"},
        {"pixels truncated", [](Bytes& b) { put32(b, 2, 0); b.resize(b.size() - 1); }, "runs past the end of the file"},
        {"declared size too large", [](Bytes& b) { put32(b, 2, static_cast<std::uint32_t>(b.size() + 1)); }, "truncated?"},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bmp = qdtest::make_bmp(5, 4, 24);
        c.apply(bmp);
        std::string error;
        try {
            Bytes dib = qdstamp::bmp_to_dib(bmp);
            EXPECT_EQ(dib, Bytes(bmp.begin() + 14, bmp.end()));
        } catch (const qdstamp::Failure& f) {
            error = f.what();
        }
        if (*c.message == 0) EXPECT_EQ(error, "");
        else EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(BitmapFile, PaletteDepthsAndGapsBeforeThePixels) {
    for (int bits : {1, 4, 8, 24, 32}) {
        Bytes bmp = qdtest::make_bmp(7, 3, bits);
        EXPECT_EQ(qdstamp::bmp_to_dib(bmp), Bytes(bmp.begin() + 14, bmp.end())) << bits;
        EXPECT_EQ(qdstamp::dib_info(qdstamp::bmp_to_dib(bmp)).bit_count, bits);
    }
    // A gap between the color table and the pixels is dropped: a packed DIB
    // has the pixels right after the color table.
    Bytes bmp = qdtest::make_bmp(7, 3, 8);
    const std::uint32_t pixels_at = qdtest::u32(bmp, 10);
    Bytes gapped(bmp.begin(), bmp.begin() + pixels_at);
    gapped.insert(gapped.end(), 16, 0xEE);
    gapped.insert(gapped.end(), bmp.begin() + pixels_at, bmp.end());
    put32(gapped, 10, pixels_at + 16);
    put32(gapped, 2, static_cast<std::uint32_t>(gapped.size()));
    EXPECT_EQ(qdstamp::bmp_to_dib(gapped), Bytes(bmp.begin() + 14, bmp.end()));
}

TEST(ImageFiles, BuildRejectsBadImagesWithTheirFileNameAndWritesNothing) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    qdtest::Scratch scratch;
    const std::string config = scratch.write("a.qdcfg", qdtest::config_with("CFG_SPLASH = true\n"));
    const std::string good_bmp = scratch.write("good.bmp", qdtest::make_bmp(4, 4, 24));
    const std::string bad = scratch.write("bad.bin", std::string("plain text, not an image"));
    for (const char* option : {"--icon", "--splash"}) {
        SCOPED_TRACE(option);
        std::string err;
        std::vector<std::string> args = {"build", "--launcher", tiny, "--config", config, "--out", scratch.path("out.exe"), option, bad};
        if (std::string(option) == "--icon") args.insert(args.end(), {"--splash", good_bmp});
        EXPECT_EQ(qdtest::run(args, nullptr, &err), 1);
        EXPECT_EQ(err.rfind("error: " + bad + ": not a", 0), 0u) << err;
        EXPECT_FALSE(qdtest::exists(scratch.path("out.exe")));
    }
}

TEST(ImageFiles, SplashRecordNeedsABitmapAtBuildTime) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    qdtest::Scratch scratch;
    const std::string config = scratch.write("a.qdcfg", qdtest::config_with("CFG_SPLASH = true\n"));
    const std::string out = scratch.path("out.exe");
    std::string err;
    // No --splash and no bitmap in the launcher: error, nothing written.
    EXPECT_EQ(qdtest::run({"build", "--launcher", tiny, "--config", config, "--out", out}, nullptr, &err), 1);
    EXPECT_NE(err.find(config + ":2: CFG_SPLASH = true needs a splash picture"), std::string::npos) << err;
    EXPECT_FALSE(qdtest::exists(out));
    // With --splash: fine.
    EXPECT_EQ(qdtest::run({"build", "--launcher", tiny, "--config", config, "--out", out, "--splash",
                           scratch.write("s.bmp", qdtest::make_bmp(4, 4, 24))}, nullptr, &err), 0) << err;
    // The stamped file already carries bitmap 1: no --splash needed.
    EXPECT_EQ(qdtest::run({"build", "--launcher", out, "--config", config, "--out", scratch.path("again.exe")}, nullptr, &err), 0) << err;
    // CFG_SPLASH = false never needs one.
    EXPECT_EQ(qdtest::run({"build", "--launcher", tiny, "--config", scratch.write("b.qdcfg", qdtest::config_with("CFG_SPLASH = false\n")),
                           "--out", out}, nullptr, &err), 0) << err;
}

}  // namespace
