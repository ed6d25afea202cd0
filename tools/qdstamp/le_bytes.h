// Bounds-checked little-endian access to byte buffers.
//
// Every read from untrusted data goes through ByteView, which throws Failure
// instead of reading past the end, so a corrupt input can never make the
// parser touch memory outside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "failure.h"

namespace qdstamp {

using Bytes = std::vector<std::uint8_t>;

// True when [offset, offset + length) lies inside a buffer of `size` bytes,
// written so that the sum cannot overflow.
inline bool range_fits(std::uint64_t size, std::uint64_t offset, std::uint64_t length) {
    return offset <= size && length <= size - offset;
}

inline std::string hex(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + out;
}

class ByteView {
public:
    ByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteView(const Bytes& bytes) : data_(bytes.data()), size_(bytes.size()) {}

    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }
    bool fits(std::uint64_t offset, std::uint64_t length) const {
        return range_fits(size_, offset, length);
    }
    void need(std::uint64_t offset, std::uint64_t length, const char* what) const {
        if (!fits(offset, length))
            fail(std::string(what) + " at offset " + hex(offset) + " runs past the end of the data");
    }
    std::uint8_t u8(std::uint64_t offset) const {
        need(offset, 1, "byte");
        return data_[offset];
    }
    std::uint16_t u16(std::uint64_t offset) const {
        need(offset, 2, "16-bit value");
        return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    std::uint32_t u32(std::uint64_t offset) const {
        need(offset, 4, "32-bit value");
        return static_cast<std::uint32_t>(data_[offset]) |
               (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(data_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(data_[offset + 3]) << 24);
    }
    std::int32_t i32(std::uint64_t offset) const {
        return static_cast<std::int32_t>(u32(offset));
    }
    // Big-endian, as PNG stores its numbers.
    std::uint32_t u32be(std::uint64_t offset) const {
        need(offset, 4, "32-bit value");
        return (static_cast<std::uint32_t>(data_[offset]) << 24) | (static_cast<std::uint32_t>(data_[offset + 1]) << 16) |
               (static_cast<std::uint32_t>(data_[offset + 2]) << 8) | static_cast<std::uint32_t>(data_[offset + 3]);
    }
    Bytes slice(std::uint64_t offset, std::uint64_t length) const {
        need(offset, length, "block");
        return Bytes(data_ + offset, data_ + offset + length);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

inline void put16(Bytes& b, std::size_t offset, std::uint16_t v) {
    b.at(offset + 1);
    b[offset] = static_cast<std::uint8_t>(v);
    b[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void put32(Bytes& b, std::size_t offset, std::uint32_t v) {
    b.at(offset + 3);
    for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void append16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void append32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void pad_to(Bytes& b, std::size_t alignment) {
    while (b.size() % alignment != 0) b.push_back(0);
}

inline std::uint64_t align_up(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

}  // namespace qdstamp
