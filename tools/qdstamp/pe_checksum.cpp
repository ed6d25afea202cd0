#include "pe_checksum.h"

namespace qdstamp {

std::uint32_t pe_checksum(const Bytes& file, std::uint32_t checksum_offset) {
    std::uint64_t sum = 0;
    const std::size_t n = file.size();
    for (std::size_t i = 0; i < n; i += 2) {
        // The four bytes of the checksum field count as zero.
        auto byte = [&](std::size_t k) -> std::uint32_t {
            if (k >= n || (k >= checksum_offset && k < std::uint64_t{checksum_offset} + 4)) return 0;
            return file[k];
        };
        const std::uint32_t word = byte(i) | (byte(i + 1) << 8);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + n);
}

}  // namespace qdstamp
