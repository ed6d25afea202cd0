#include "launch/splash_picture.h"

namespace {

const LONG LARGEST_SIDE = 32768;
const UINT SCREEN_DPI = 96;

// Where output pixel `index` samples the source: the source pixel left of
// (or above) its centre, the next one, and the share of the next one in
// 1/256. Centres line up, so at the same length every pixel maps to itself.
struct Tap {
    int first;
    int second;
    unsigned weight;
};

Tap tapFor(int index, int outLength, int inLength) {
    long long centre = ((2LL * index + 1) * inLength - outLength) * 256 / (2LL * outLength);
    if (centre < 0) centre = 0;
    Tap tap = {static_cast<int>(centre >> 8), 0, static_cast<unsigned>(centre & 255)};
    if (tap.first >= inLength - 1) {
        tap.first = inLength - 1;
        tap.weight = 0;
    }
    tap.second = tap.weight != 0 ? tap.first + 1 : tap.first;
    return tap;
}

const BYTE* storedRow(const SplashBitmap& bitmap, int row) {
    return bitmap.pixels + static_cast<size_t>(bitmap.bottomUp ? bitmap.height - 1 - row : row) * bitmap.stride;
}

unsigned sample(const SplashBitmap& bitmap, const BYTE* row, int column, int channel) {
    if (channel == 3 && !bitmap.alpha) return 255;
    return row[static_cast<size_t>(column) * bitmap.bytesPerPixel + channel];
}

} // namespace

bool readSplashBitmap(const void* dib, size_t size, SplashBitmap* bitmap) {
    *bitmap = SplashBitmap{};
    const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(dib);
    if (size < sizeof(BITMAPINFOHEADER) || header->biSize < sizeof(BITMAPINFOHEADER) || header->biSize > size) return false;
    LONG rows = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    if (header->biWidth <= 0 || header->biWidth > LARGEST_SIDE || rows == 0 || rows > LARGEST_SIDE) return false;
    bitmap->width = header->biWidth;
    bitmap->height = rows;
    bitmap->bottomUp = header->biHeight > 0;

    // Bit fields follow a 40-byte header; later headers hold them, with alpha from V3 on.
    const DWORD* masks = reinterpret_cast<const DWORD*>(header + 1);
    bool fields = header->biCompression == BI_BITFIELDS;
    size_t masksAfter = fields && header->biSize == sizeof(BITMAPINFOHEADER) ? 3 * sizeof(DWORD) : 0;
    if (header->biPlanes != 1 || header->biClrUsed > 256 || header->biSize + masksAfter > size) return true;
    if (fields && header->biSize + masksAfter < sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD)) return true;
    if (header->biBitCount == 24 && header->biCompression == BI_RGB) {
        bitmap->bytesPerPixel = 3;
    } else if (header->biBitCount == 32 && (header->biCompression == BI_RGB ||
                                            (fields && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))) {
        bitmap->bytesPerPixel = 4;
        bitmap->alpha = fields && header->biSize >= 56 && masks[3] == 0xFF000000;
    } else {
        return true;
    }
    bitmap->stride = (static_cast<size_t>(bitmap->width) * bitmap->bytesPerPixel + 3) & ~static_cast<size_t>(3);
    size_t offset = header->biSize + masksAfter + header->biClrUsed * sizeof(RGBQUAD);
    if (offset > size || bitmap->stride * rows > size - offset) {
        bitmap->alpha = false;
        return true;
    }
    bitmap->pixels = static_cast<const BYTE*>(dib) + offset;
    return true;
}

WORD splashBitmapFor(UINT dpi, bool haveDouble) {
    return haveDouble && dpi >= SCREEN_DPI * 3 / 2 ? SPLASH_DOUBLE_BITMAP_ID : SPLASH_BITMAP_ID;
}

int splashSideAt(int length, UINT dpi, int scale) {
    long long unit = static_cast<long long>(SCREEN_DPI) * scale;
    long long side = (static_cast<long long>(length) * dpi + unit / 2) / unit;
    return side < 1 ? 1 : static_cast<int>(side);
}

void scaleSplashPixels(const SplashBitmap& bitmap, BYTE* out, int width, int height) {
    for (int y = 0; y < height; ++y) {
        Tap down = tapFor(y, height, bitmap.height);
        const BYTE* upper = storedRow(bitmap, down.first);
        const BYTE* lower = storedRow(bitmap, down.second);
        for (int x = 0; x < width; ++x) {
            Tap across = tapFor(x, width, bitmap.width);
            for (int channel = 0; channel < 4; ++channel) {
                unsigned top = sample(bitmap, upper, across.first, channel) * (256 - across.weight) +
                               sample(bitmap, upper, across.second, channel) * across.weight;
                unsigned bottom = sample(bitmap, lower, across.first, channel) * (256 - across.weight) +
                                  sample(bitmap, lower, across.second, channel) * across.weight;
                *out++ = static_cast<BYTE>((top * (256 - down.weight) + bottom * down.weight + 32768) >> 16);
            }
        }
    }
}
