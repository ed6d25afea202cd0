// Whole-file reads with a size limit, and all-or-nothing writes.
#pragma once

#include <cstdint>
#include <string>

#include "le_bytes.h"

namespace qdstamp {

// Inputs larger than this are refused before they are read.
constexpr std::uint64_t kMaxInputSize = 256u * 1024u * 1024u;

// Reads the whole file; throws Failure (without the path, which the caller
// reports) when it cannot be opened, read, or is larger than `limit`.
Bytes read_file(const std::string& path, std::uint64_t limit = kMaxInputSize);

// Writes to "<path>.qdstamp-tmp" next to the target and renames it over the
// target only after every byte was written and the file closed, so a failure
// never leaves a partial file under the target's name.
void write_file_atomic(const std::string& path, const Bytes& bytes);

}  // namespace qdstamp
