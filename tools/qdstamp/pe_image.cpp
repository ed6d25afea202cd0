#include "pe_image.h"

#include <algorithm>

namespace qdstamp {
namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kOptionalFixedSize = 112;  // PE32+ up to the data directories
constexpr std::uint16_t kMaxSections = 96;

bool power_of_two(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

std::uint64_t PeImage::end_of_section_data() const {
    std::uint64_t end = size_of_headers;
    for (const Section& s : sections)
        if (s.raw_size != 0) end = std::max<std::uint64_t>(end, std::uint64_t{s.raw_pointer} + s.raw_size);
    return end;
}

std::optional<std::size_t> PeImage::section_of_rva(std::uint64_t rva) const {
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const Section& s = sections[i];
        if (rva >= s.virtual_address && rva - s.virtual_address < s.memory_size()) return i;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> PeImage::rva_to_offset(std::uint64_t rva, std::uint64_t length) const {
    auto index = section_of_rva(rva);
    if (!index) return std::nullopt;
    const Section& s = sections[*index];
    std::uint64_t within = rva - s.virtual_address;
    // Only bytes backed by the file count; the zero-filled tail does not.
    if (!range_fits(s.raw_size, within, length)) return std::nullopt;
    return std::uint64_t{s.raw_pointer} + within;
}

PeImage parse_pe(const Bytes& file) {
    ByteView v(file);
    PeImage pe;
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z')
        fail("not a PE file (no MZ header)");
    pe.pe_offset = v.u32(0x3C);
    if (!v.fits(pe.pe_offset, 24) || v.u32(pe.pe_offset) != 0x00004550u)
        fail("not a PE file (no PE signature at " + hex(pe.pe_offset) + ")");
    pe.coff_offset = pe.pe_offset + 4;
    std::uint16_t sections = v.u16(pe.coff_offset + 2);
    pe.pointer_to_symbols = v.u32(pe.coff_offset + 8);
    pe.size_of_optional = v.u16(pe.coff_offset + 16);
    pe.optional_offset = pe.coff_offset + 20;
    if (pe.size_of_optional < 2 || !v.fits(pe.optional_offset, pe.size_of_optional))
        fail("truncated PE optional header");
    std::uint16_t magic = v.u16(pe.optional_offset);
    if (magic == kMagicPe32)
        fail("32-bit PE (PE32) files are not supported; the launcher is a 64-bit PE32+ program");
    if (magic != kMagicPe32Plus) fail("unknown PE optional header magic " + hex(magic));
    if (pe.size_of_optional < kOptionalFixedSize) fail("PE32+ optional header is too small");

    const std::uint32_t o = pe.optional_offset;
    pe.size_of_initialized_data = v.u32(o + 8);
    pe.section_alignment = v.u32(o + 32);
    pe.file_alignment = v.u32(o + 36);
    pe.size_of_image = v.u32(o + 56);
    pe.size_of_headers = v.u32(o + 60);
    pe.checksum = v.u32(o + 64);
    pe.subsystem = v.u16(o + 68);
    pe.number_of_directories = v.u32(o + 108);
    if (pe.number_of_directories > 16 ||
        kOptionalFixedSize + 8u * pe.number_of_directories > pe.size_of_optional)
        fail("bad number of data directories (" + std::to_string(pe.number_of_directories) + ")");
    if (pe.number_of_directories <= kDirResource)
        fail("the PE header has no slot for a resource directory");
    for (std::uint32_t i = 0; i < pe.number_of_directories; ++i) {
        pe.directories[i].rva = v.u32(pe.directory_offset(i));
        pe.directories[i].size = v.u32(pe.directory_offset(i) + 4);
    }
    if (!power_of_two(pe.file_alignment) || pe.file_alignment < 512 || pe.file_alignment > 65536)
        fail("bad file alignment " + hex(pe.file_alignment));
    if (!power_of_two(pe.section_alignment) || pe.section_alignment < pe.file_alignment)
        fail("bad section alignment " + hex(pe.section_alignment));

    if (sections == 0 || sections > kMaxSections)
        fail("bad number of sections (" + std::to_string(sections) + ")");
    pe.section_table_offset = o + pe.size_of_optional;
    std::uint64_t table_end = std::uint64_t{pe.section_table_offset} + 40u * sections;
    if (!v.fits(pe.section_table_offset, 40u * sections)) fail("truncated section table");
    if (table_end > pe.size_of_headers || pe.size_of_headers > file.size())
        fail("size of headers " + hex(pe.size_of_headers) + " does not cover the section table");

    std::uint64_t previous_end = 0;
    for (std::uint16_t i = 0; i < sections; ++i) {
        std::uint32_t h = pe.section_header_offset(i);
        Section s;
        for (int k = 0; k < 8 && file[h + k] != 0; ++k) s.name.push_back(static_cast<char>(file[h + k]));
        s.virtual_size = v.u32(h + 8);
        s.virtual_address = v.u32(h + 12);
        s.raw_size = v.u32(h + 16);
        s.raw_pointer = v.u32(h + 20);
        s.characteristics = v.u32(h + 36);
        const std::string label = "section " + std::to_string(i + 1) + " (" + s.name + ")";
        if (s.raw_size != 0 && !v.fits(s.raw_pointer, s.raw_size))
            fail(label + " data lies outside the file (file truncated?)");
        if (s.raw_size != 0 && s.raw_pointer < table_end)
            fail(label + " data overlaps the headers");
        if (s.virtual_address < previous_end || s.virtual_address < pe.size_of_headers)
            fail(label + " overlaps the headers or the previous section");
        previous_end = std::uint64_t{s.virtual_address} + align_up(s.memory_size(), pe.section_alignment);
        if (previous_end > 0xFFFFFFFFu) fail(label + " ends beyond the 4 GiB image limit");
        pe.sections.push_back(s);
    }
    return pe;
}

}  // namespace qdstamp
