#include "pe_checksum.h"

namespace qdstamp {

std::uint32_t pe_checksum(const Bytes& file, std::uint32_t checksum_offset) {
    std::uint64_t sum = 0;
    const std::size_t n = file.size();
    for (std::size_t i = 0; i < n; i += 2) {
        std::uint32_t word = file[i];
        if (i + 1 < n) word |= std::uint32_t{file[i + 1]} << 8;
        // The four bytes of the checksum field count as zero.
        if (i >= checksum_offset && i < std::uint64_t{checksum_offset} + 4) word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + n);
}

}  // namespace qdstamp
