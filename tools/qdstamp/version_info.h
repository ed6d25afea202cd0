// The version resource (RT_VERSION 1) written from the configuration's
// version keys.
//
// When any version key is given, qdstamp generates a complete new
// VS_VERSIONINFO: the fixed part carries FILE_VERSION and PRODUCT_VERSION
// (PRODUCT_VERSION defaults to FILE_VERSION), the string table 040904B0
// (US English, Unicode) carries every non-empty key in a fixed order, and
// VarFileInfo\Translation names that table.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "le_bytes.h"

namespace qdstamp {

struct VersionKey {
    const char* key;            // configuration key
    const char16_t* string_name;  // name in the string table
};

// Keys in the order their strings are written.
const VersionKey* version_key_table(std::size_t* count);
bool is_version_key(std::string_view key);

constexpr int kVersionStringCapacity = 256;  // code units, including the terminating zero

// Parses "a.b.c.d" (each 0..65535, plain decimal digits).
std::optional<std::array<std::uint16_t, 4>> parse_version_number(std::u16string_view text);

// `keys` holds the configuration's version keys; FILE_VERSION must be present
// and valid (checked by the configuration checks before this is called).
Bytes build_version_resource(const std::map<std::string, std::u16string>& keys);

// The keys that would regenerate `resource` byte for byte, or nullopt when the
// resource was not written by build_version_resource.
std::optional<std::map<std::string, std::u16string>> version_keys_of(const Bytes& resource);

// The string table of any version resource, for display; empty if unreadable.
std::map<std::u16string, std::u16string> version_strings(const Bytes& resource);

}  // namespace qdstamp
