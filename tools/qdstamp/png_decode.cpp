// The one place that compiles the stb_image library (PNG only): its zlib
// decoder and its PNG loader, behind the small interface of png_decode.h.
// Every allocation it makes is held to a limit set by the caller, so that a
// small file cannot make it ask for gigabytes.
#include "png_decode.h"

#include <cstdlib>
#include <cstring>

namespace {

std::size_t allocation_limit;

void* limited_malloc(std::size_t size) { return size > allocation_limit ? nullptr : std::malloc(size); }
void* limited_realloc(void* p, std::size_t size) { return size > allocation_limit ? nullptr : std::realloc(p, size); }

}  // namespace

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MALLOC(size) limited_malloc(size)
#define STBI_REALLOC(p, size) limited_realloc(p, size)
#define STBI_FREE(p) std::free(p)
#include <stb_image.h>

namespace qdstamp::png_decode {
namespace {

std::string reason() {
    const char* text = stbi_failure_reason();
    return text ? text : "unknown reason";
}

int as_int(std::size_t size) { return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size); }

}  // namespace

void limit_allocations(std::size_t bytes) { allocation_limit = bytes; }

bool inflate(const Bytes& stream, std::size_t expected, Bytes* out, std::string* why) {
    int length = 0;
    char* data = stbi_zlib_decode_malloc_guesssize_headerflag(reinterpret_cast<const char*>(stream.data()),
                                                               as_int(stream.size()), as_int(expected + 1), &length, 1);
    if (!data) {
        *why = reason();
        return false;
    }
    out->assign(data, data + length);
    std::free(data);
    return true;
}

bool load(const Bytes& png, int channels, int bits, std::vector<std::uint16_t>* samples, std::string* why) {
    int width = 0, height = 0, in_file = 0;
    void* data = bits == 16
                     ? static_cast<void*>(stbi_load_16_from_memory(png.data(), as_int(png.size()), &width, &height, &in_file, channels))
                     : static_cast<void*>(stbi_load_from_memory(png.data(), as_int(png.size()), &width, &height, &in_file, channels));
    if (!data) {
        *why = reason();
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * static_cast<std::size_t>(channels);
    samples->resize(count);
    for (std::size_t i = 0; i < count; ++i)
        (*samples)[i] = bits == 16 ? static_cast<const std::uint16_t*>(data)[i] : static_cast<const std::uint8_t*>(data)[i];
    std::free(data);
    return true;
}

}  // namespace qdstamp::png_decode
