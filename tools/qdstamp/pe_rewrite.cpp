#include "pe_rewrite.h"

#include <algorithm>
#include <cstring>

#include "pe_checksum.h"

namespace qdstamp {
namespace {

constexpr std::uint32_t kRsrcCharacteristics = 0x40000040u;  // initialized data, readable
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kDebugEntrySize = 28;
constexpr std::uint32_t kTlsDirectorySize = 40;  // IMAGE_TLS_DIRECTORY64
// Tools that read resources find them by this section name (objdump, windres)
// or by its prefix (llvm-readobj), and strip points the resource directory at
// the section of that name: only the section qdstamp writes may carry it.
constexpr char kResourceSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
constexpr char kRetiredSectionName[8] = {'.', 'o', 'l', 'd', 'r', 's', 'r', 'c'};

bool ranges_overlap(std::uint64_t a, std::uint64_t a_len, std::uint64_t b, std::uint64_t b_len) {
    return a < b + b_len && b < a + a_len;
}

struct Extent {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
};

// The part of the image a data directory refers to.  The loader reads the
// TLS directory and the load configuration by their own structure sizes and
// the global pointer has no size, so whatever their Size fields say (a file
// may carry garbage there and still run) does not count.
std::optional<Extent> directory_extent(const Bytes& file, const PeImage& pe, unsigned index) {
    const DataDirectory& d = pe.directories[index];
    if (d.rva == 0) return std::nullopt;
    switch (index) {
        case kDirTls:
            return Extent{d.rva, kTlsDirectorySize};
        case kDirGlobalPtr:
            return Extent{d.rva, 8};
        case kDirLoadConfig:
            if (auto at = pe.rva_to_offset(d.rva, 4))
                if (std::uint32_t own = ByteView(file).u32(*at); own != 0) return Extent{d.rva, own};
            break;
        default:
            break;
    }
    if (d.size == 0) return std::nullopt;
    return Extent{d.rva, d.size};
}

// File offsets of the debug directory entries, when the debug directory can
// be located.  Each entry holds SizeOfData at +16, AddressOfRawData (an RVA)
// at +20 and PointerToRawData (a file offset) at +24.
std::vector<std::uint32_t> debug_entries(const Bytes& file, const PeImage& pe) {
    std::vector<std::uint32_t> entries;
    if (pe.number_of_directories <= kDirDebug) return entries;
    const DataDirectory& d = pe.directories[kDirDebug];
    if (d.rva == 0 || d.size == 0) return entries;
    auto at = pe.rva_to_offset(d.rva, d.size);
    if (!at) return entries;
    for (std::uint64_t k = 0; k + kDebugEntrySize <= d.size; k += kDebugEntrySize)
        if (ByteView(file).fits(*at + k, kDebugEntrySize)) entries.push_back(static_cast<std::uint32_t>(*at + k));
    return entries;
}

// Whether section `index` holds nothing but the resources: no other data
// directory refers into it, no other section's file data overlaps its own,
// and neither the symbol table nor debug data lie in it.
bool holds_only_resources(const Bytes& file, const PeImage& pe, std::size_t index) {
    const Section& s = pe.sections[index];
    for (unsigned i = 0; i < pe.number_of_directories; ++i) {
        if (i == kDirResource || i == kDirSecurity) continue;
        if (auto e = directory_extent(file, pe, i); e && ranges_overlap(e->start, e->length, s.virtual_address, s.memory_size()))
            return false;
    }
    for (std::size_t k = 0; k < pe.sections.size(); ++k) {
        const Section& o = pe.sections[k];
        if (k != index && o.raw_size != 0 && ranges_overlap(o.raw_pointer, o.raw_size, s.raw_pointer, s.raw_size))
            return false;
    }
    if (pe.pointer_to_symbols != 0 && ranges_overlap(pe.pointer_to_symbols, 1, s.raw_pointer, s.raw_size)) return false;
    const ByteView v(file);
    for (std::uint32_t entry : debug_entries(file, pe)) {
        const std::uint64_t size = std::max<std::uint32_t>(v.u32(entry + 16), 1);
        const std::uint32_t rva = v.u32(entry + 20), pointer = v.u32(entry + 24);
        if (rva != 0 && ranges_overlap(rva, size, s.virtual_address, s.memory_size())) return false;
        if (pointer != 0 && ranges_overlap(pointer, size, s.raw_pointer, s.raw_size)) return false;
    }
    return true;
}

// The old resource section can be rewritten where it is when it is the last
// section both in memory and in the file (no other section's data reaches
// into it), holds the resource directory at its start and nothing else.
bool can_replace_in_place(const Bytes& file, const PeImage& pe, std::size_t index) {
    const Section& s = pe.sections[index];
    if (index + 1 != pe.sections.size() || s.raw_size == 0) return false;
    if (s.virtual_address != pe.directories[kDirResource].rva) return false;
    if (std::uint64_t{s.raw_pointer} + s.raw_size != pe.end_of_section_data()) return false;
    for (std::size_t k = 0; k < index; ++k) {
        const Section& o = pe.sections[k];
        if (o.raw_size != 0 && std::uint64_t{o.raw_pointer} + o.raw_size > s.raw_pointer) return false;
    }
    return holds_only_resources(file, pe, index);
}

bool has_resource_name(const Bytes& file, std::size_t header) {
    return std::equal(kResourceSectionName, kResourceSectionName + 5, file.begin() + static_cast<std::ptrdiff_t>(header));
}

void write_section_header(Bytes& out, std::size_t at, std::uint32_t vsize, std::uint32_t va,
                          std::uint32_t raw_size, std::uint32_t raw_pointer) {
    std::memcpy(out.data() + at, kResourceSectionName, 8);
    put32(out, at + 8, vsize);
    put32(out, at + 12, va);
    put32(out, at + 16, raw_size);
    put32(out, at + 20, raw_pointer);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(at + 24), out.begin() + static_cast<std::ptrdiff_t>(at + 36), 0);
    put32(out, at + 36, kRsrcCharacteristics);
}

}  // namespace

void refuse_signed(const PeImage& pe) {
    if (pe.number_of_directories > kDirSecurity) {
        const DataDirectory& d = pe.directories[kDirSecurity];
        if (d.rva != 0 || d.size != 0)
            fail("the file is signed (it has a certificate table); stamp the unsigned launcher and sign the result afterwards");
    }
}

RewriteResult replace_resources(const Bytes& file, const PeImage& pe, const std::vector<Resource>& resources) {
    refuse_signed(pe);
    const std::uint64_t data_end = pe.end_of_section_data();
    const DataDirectory& rsrc = pe.directories[kDirResource];
    std::optional<std::size_t> old;
    if (rsrc.rva != 0 || rsrc.size != 0) old = pe.section_of_rva(rsrc.rva);

    RewriteResult result;
    const bool in_place = old && can_replace_in_place(file, pe, *old);
    result.placement = in_place ? RsrcPlacement::Replaced : RsrcPlacement::Appended;

    std::size_t header_index;
    std::uint32_t va;
    std::uint64_t raw_pointer;
    std::uint64_t removed_raw = 0;
    if (in_place) {
        const Section& s = pe.sections[*old];
        header_index = *old;
        va = s.virtual_address;
        raw_pointer = s.raw_pointer;
        removed_raw = s.raw_size;
    } else {
        header_index = pe.sections.size();
        if (header_index >= 96) fail("the file already has the maximum number of sections");
        std::uint64_t table_end = pe.section_table_offset + kSectionHeaderSize * header_index;
        std::uint64_t room = pe.size_of_headers;
        for (const Section& s : pe.sections)
            if (s.raw_size != 0) room = std::min<std::uint64_t>(room, s.raw_pointer);
        if (table_end + kSectionHeaderSize > room)
            fail("no room in the PE headers for another section header");
        for (std::uint64_t k = table_end; k < table_end + kSectionHeaderSize; ++k)
            if (file[k] != 0) fail("the space after the section table is in use; cannot add a section");
        std::uint64_t memory_end = 0;
        for (const Section& s : pe.sections)
            memory_end = std::max(memory_end, s.virtual_address + align_up(s.memory_size(), pe.section_alignment));
        va = static_cast<std::uint32_t>(align_up(memory_end, pe.section_alignment));
        raw_pointer = align_up(data_end, pe.file_alignment);
    }

    const Bytes section = build_resource_section(resources, va);
    const std::uint64_t raw_size = align_up(section.size(), pe.file_alignment);
    const std::uint64_t overlay = file.size() - data_end;
    const std::uint64_t total = raw_pointer + raw_size + overlay;
    if (total > 0xFFFFFFFFull || std::uint64_t{va} + align_up(section.size(), pe.section_alignment) > 0xFFFFFFFFull)
        fail("the stamped file would be too large");

    Bytes& out = result.file;
    out.reserve(static_cast<std::size_t>(total));
    const std::uint64_t keep = std::min<std::uint64_t>(raw_pointer, data_end);
    out.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
    out.resize(static_cast<std::size_t>(raw_pointer), 0);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(static_cast<std::size_t>(raw_pointer + raw_size), 0);
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(data_end), file.end());
    const std::int64_t delta = static_cast<std::int64_t>(raw_pointer + raw_size) - static_cast<std::int64_t>(data_end);

    write_section_header(out, pe.section_header_offset(header_index), static_cast<std::uint32_t>(section.size()), va,
                         static_cast<std::uint32_t>(raw_size), static_cast<std::uint32_t>(raw_pointer));
    if (in_place) {
        // Keep the existing flags; the name becomes .rsrc, sizes change.
        put32(out, pe.section_header_offset(header_index) + 36, pe.sections[header_index].characteristics);
    } else {
        put16(out, pe.number_of_sections_offset(), static_cast<std::uint16_t>(pe.sections.size() + 1));
        // The old resources stay where they are (sections cannot leave the
        // middle of an image), but only as zeros when nothing else lives there.
        if (old && pe.sections[*old].virtual_address == rsrc.rva && holds_only_resources(file, pe, *old)) {
            const Section& o = pe.sections[*old];
            std::fill_n(out.begin() + o.raw_pointer, o.raw_size, std::uint8_t{0});
        }
    }
    for (std::size_t i = 0; i < pe.sections.size(); ++i)
        if (i != header_index && has_resource_name(file, pe.section_header_offset(i)))
            std::memcpy(out.data() + pe.section_header_offset(i), kRetiredSectionName, 8);

    std::uint64_t image_end = std::uint64_t{va} + section.size();
    for (std::size_t i = 0; i < pe.sections.size(); ++i)
        if (!(in_place && i == header_index))
            image_end = std::max(image_end, pe.sections[i].virtual_address + pe.sections[i].memory_size());
    put32(out, pe.size_of_image_offset(), static_cast<std::uint32_t>(align_up(image_end, pe.section_alignment)));

    std::int64_t initialized = static_cast<std::int64_t>(pe.size_of_initialized_data) +
                               static_cast<std::int64_t>(raw_size) - static_cast<std::int64_t>(removed_raw);
    initialized = std::clamp<std::int64_t>(initialized, 0, 0xFFFFFFFFll);
    put32(out, pe.size_of_initialized_data_offset(), static_cast<std::uint32_t>(initialized));

    put32(out, pe.directory_offset(kDirResource), va);
    put32(out, pe.directory_offset(kDirResource) + 4, static_cast<std::uint32_t>(section.size()));

    // File offsets that point behind the moved data follow it.
    auto shift = [&](std::uint32_t field) {
        std::uint32_t p = ByteView(out).u32(field);
        if (p != 0 && p >= data_end) put32(out, field, static_cast<std::uint32_t>(p + delta));
    };
    shift(pe.pointer_to_symbols_offset());
    for (std::uint32_t entry : debug_entries(file, pe)) shift(entry + 24);

    put32(out, pe.checksum_offset(), pe_checksum(out, pe.checksum_offset()));
    return result;
}

}  // namespace qdstamp
