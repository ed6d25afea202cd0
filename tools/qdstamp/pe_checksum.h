// The PE image checksum (the value the Windows loader verifies for drivers
// and that signing tools write): a 16-bit one's-complement-style sum of the
// file with the checksum field taken as zero, plus the file length.
#pragma once

#include <cstdint>

#include "le_bytes.h"

namespace qdstamp {

std::uint32_t pe_checksum(const Bytes& file, std::uint32_t checksum_offset);

}  // namespace qdstamp
