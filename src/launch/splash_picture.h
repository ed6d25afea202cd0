// The splash picture's pixels where the launcher draws them itself: the
// bitmap resources read in place, the one chosen for the monitor's pixel
// density, and the smooth scaling that gives the splash the same physical
// size at every scale. Pure logic over buffers: no Windows calls.
#pragma once

#include <windows.h>
#include <stddef.h>

// Bitmap resource 2 is the picture made for twice the pixel density of 1.
const WORD SPLASH_BITMAP_ID = 1;
const WORD SPLASH_DOUBLE_BITMAP_ID = 2;

// A bitmap resource (a packed DIB), read in place.
struct SplashBitmap {
    int width;
    int height;          // rows
    bool bottomUp;
    bool alpha;          // premultiplied alpha in the fourth byte of each pixel
    int bytesPerPixel;   // 3 or 4 when pixels is set
    size_t stride;       // bytes per stored row
    const BYTE* pixels;  // the first stored row; nullptr for a format the system draws (palettes, 16 bits, compression)
};

// Reads the header of a packed DIB of `size` bytes. False when it is none;
// true with `pixels` set for 24-bit and 32-bit pictures whose rows all lie
// inside the data. A 32-bit picture has alpha when its header (V3 or later)
// gives bit fields for B, G, R bytes and an alpha mask for the fourth byte.
bool readSplashBitmap(const void* dib, size_t size, SplashBitmap* bitmap);

// The bitmap whose scale is nearest to a monitor of `dpi` (96 dpi is scale 1):
// 2 from 144 dpi (150 %) on when there is one, the larger on the tie, since
// scaling down looks better than scaling up.
WORD splashBitmapFor(UINT dpi, bool haveDouble);

// A side of `length` pixels of a picture made for `scale` times 96 dpi, shown
// at `dpi`: rounded to the nearest pixel, at least 1.
int splashSideAt(int length, UINT dpi, int scale);

// Fills a `width` x `height` picture of 32 bits per pixel (B, G, R, A; rows
// top-down; colours premultiplied, alpha 255 for a bitmap without alpha) from
// `bitmap`, sampled bilinearly at the centre of each pixel. At the bitmap's
// own size it is an exact copy.
void scaleSplashPixels(const SplashBitmap& bitmap, BYTE* out, int width, int height);
