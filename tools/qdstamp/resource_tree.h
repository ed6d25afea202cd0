// The resource directory of a PE file as a flat, sorted list of entries, and
// the code that lays such a list out as a new resource section.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "le_bytes.h"
#include "pe_image.h"

namespace qdstamp {

enum ResourceType : std::uint16_t {
    kRtIcon = 3,
    kRtBitmap = 2,
    kRtRcData = 10,
    kRtGroupIcon = 14,
    kRtVersion = 16,
    kRtManifest = 24,
};

constexpr std::uint16_t kLangNeutralDefault = 0x0400;

// A resource type or name: a 16-bit id, or a string (stored as UTF-16).
struct ResourceId {
    bool is_name = false;
    std::uint16_t id = 0;
    std::u16string name;

    static ResourceId number(std::uint16_t n) { return ResourceId{false, n, {}}; }
    bool is(std::uint16_t n) const { return !is_name && id == n; }
    std::string describe() const;
};

// Order required inside a directory table: names (by code unit) before ids
// (ascending).
bool operator<(const ResourceId& a, const ResourceId& b);
bool operator==(const ResourceId& a, const ResourceId& b);

struct Resource {
    ResourceId type;
    ResourceId name;
    std::uint16_t language = kLangNeutralDefault;
    std::uint32_t code_page = 0;
    Bytes data;
};

bool resource_less(const Resource& a, const Resource& b);

// Reads the resource tree of `file`.  Throws Failure on anything malformed:
// offsets outside the resource section, data outside the file, a directory
// referenced twice (loops), more than three levels, duplicate entries.
std::vector<Resource> read_resources(const Bytes& file, const PeImage& pe);

// Lays out a resource section for the given entries (sorted first) as it
// will appear at `section_rva`.  The output is a pure function of the
// entries: no timestamps, fixed order, zero padding.
Bytes build_resource_section(std::vector<Resource> entries, std::uint32_t section_rva);

// Finds the entry with the given type, name and language, or any language
// when `language` is negative.
const Resource* find_resource(const std::vector<Resource>& entries, std::uint16_t type,
                              std::uint16_t name, int language = -1);

}  // namespace qdstamp
