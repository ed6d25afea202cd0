// The splash pictures given to build (--splash, --splash-2x): PNG or BMP
// files turned into the bitmap resources the launcher shows, and the rules
// for their size.
#pragma once

#include <string>

#include "bitmap_file.h"
#include "diagnostics.h"

namespace qdstamp {

struct SplashPicture {
    Bytes dib;     // the RT_BITMAP resource: a packed DIB
    DibInfo info;
};

// `scale` is 1 for --splash (bitmap 1) and 2 for --splash-2x (bitmap 2),
// whose limits are twice as wide and high.
//
// A PNG becomes a premultiplied 32-bit bitmap (premultiplied_dib); it is
// refused when it exceeds the size limits, before it is decoded, and when
// every pixel is fully transparent. A BMP is stored as it is (bmp_to_dib),
// except that one with an alpha channel is premultiplied the same way.
// Throws Failure with what is wrong.
SplashPicture read_splash_picture(const Bytes& file, int scale);

// The size rules: an error beyond 1920x1200 pixels or 8 MiB of bitmap
// (times the scale, and its square for the bytes), a warning beyond 1024x768.
void check_splash_picture(const SplashPicture& picture, int scale, const std::string& path, Diagnostics& diags);

// A warning when the 2x picture is not twice the size of the 1x picture
// (give or take a pixel): the splash would change its size on the screen
// with the monitor's scale.
void check_splash_pair(const SplashPicture& one, const SplashPicture& two, const std::string& path, Diagnostics& diags);

}  // namespace qdstamp
