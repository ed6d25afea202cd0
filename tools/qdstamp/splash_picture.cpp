#include "splash_picture.h"

#include <optional>

#include "png_file.h"

namespace qdstamp {
namespace {

// A splash picture beyond these is refused; beyond the second pair it is a
// warning. A 2x picture may be twice as wide and high (four times the bytes).
constexpr std::int64_t kSplashMaxWidth = 1920, kSplashMaxHeight = 1200;
constexpr std::uint64_t kSplashMaxBytes = 8u * 1024u * 1024u;
constexpr std::int64_t kSplashWarnWidth = 1024, kSplashWarnHeight = 768;

constexpr std::uint64_t kV5HeaderBytes = 124;

std::int64_t height_of(const DibInfo& info) { return info.height < 0 ? -std::int64_t{info.height} : info.height; }

std::string picture_label(int scale) { return scale == 2 ? "the 2x splash picture" : "the splash picture"; }

// The error about a picture beyond the limits, if it is.
std::optional<std::string> too_large(std::int64_t width, std::int64_t height, std::uint64_t bytes, int scale) {
    if (width <= kSplashMaxWidth * scale && height <= kSplashMaxHeight * scale && bytes <= kSplashMaxBytes * scale * scale)
        return std::nullopt;
    const std::string limit = std::to_string(kSplashMaxWidth * scale) + "x" + std::to_string(kSplashMaxHeight * scale) +
                              " pixels and " + std::to_string(8 * scale * scale) + " MiB";
    return picture_label(scale) + " is " + std::to_string(width) + "x" + std::to_string(height) + " pixels and " +
           std::to_string(bytes) + " bytes; at most " + limit +
           " are accepted, as the splash would cover the screen and every copy of the launcher would carry it; scale it "
           "down (for example: convert big.png -resize 800x600 splash.png)";
}

}  // namespace

SplashPicture read_splash_picture(const Bytes& file, int scale) {
    SplashPicture picture;
    const char* format = picture_format(file);
    if (format && std::string(format) == "PNG") {
        const PngHeader header = read_png_header(file);
        if (auto problem = too_large(header.width, header.height, kV5HeaderBytes + std::uint64_t{header.width} * header.height * 4, scale))
            fail(*problem);
        const Rgba16Image image = decode_png(file);
        bool visible = false;
        for (std::size_t i = 3; i < image.samples.size() && !visible; i += 4) visible = premultiply(image.samples[i], 0xFFFF) != 0;
        if (!visible) fail("every pixel of the picture is fully transparent: the splash would show nothing");
        picture.dib = premultiplied_dib(image);
    } else {
        // Only a picture within the limits is worth premultiplying; one beyond
        // them is refused by check_splash_picture as it stands.
        Bytes dib = bmp_to_dib(file);
        const DibInfo info = dib_info(dib);
        picture.dib = too_large(info.width, height_of(info), dib.size(), scale) ? std::move(dib) : premultiply_bmp_alpha(dib);
    }
    picture.info = dib_info(picture.dib);
    return picture;
}

void check_splash_picture(const SplashPicture& picture, int scale, const std::string& path, Diagnostics& diags) {
    const std::int64_t width = picture.info.width, height = height_of(picture.info);
    if (auto problem = too_large(width, height, picture.dib.size(), scale)) {
        diags.error(path, 0, *problem);
    } else if (width > kSplashWarnWidth * scale || height > kSplashWarnHeight * scale) {
        diags.warning(path, 0, picture_label(scale) + " is " + std::to_string(width) + "x" + std::to_string(height) +
                                   " pixels, larger than " + std::to_string(kSplashWarnWidth * scale) + "x" +
                                   std::to_string(kSplashWarnHeight * scale) + ": it covers most of a small screen; "
                                   "scale it down (for example: convert big.png -resize 800x600 splash.png)");
    }
}

void check_splash_pair(const SplashPicture& one, const SplashPicture& two, const std::string& path, Diagnostics& diags) {
    auto off = [](std::int64_t twice, std::int64_t actual) { return actual < twice - 1 || actual > twice + 1; };
    const std::int64_t w1 = one.info.width, h1 = height_of(one.info), w2 = two.info.width, h2 = height_of(two.info);
    if (off(2 * w1, w2) || off(2 * h1, h2))
        diags.warning(path, 0, "the 2x splash picture is " + std::to_string(w2) + "x" + std::to_string(h2) +
                                   " pixels, not twice the splash picture's " + std::to_string(w1) + "x" + std::to_string(h1) +
                                   ": the splash changes its size on the screen between 100 % and 200 % scaling");
}

}  // namespace qdstamp
