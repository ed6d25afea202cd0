// Read-only view of the headers of a 64-bit PE file (PE32+).
//
// parse_pe validates everything later steps rely on (header and section
// table inside the file, sane alignments, section data inside the file,
// ascending non-overlapping sections) and throws Failure otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "le_bytes.h"

namespace qdstamp {

enum DataDirectoryIndex : unsigned {
    kDirResource = 2,
    kDirSecurity = 4,
    kDirBaseReloc = 5,
    kDirDebug = 6,
    kDirGlobalPtr = 8,
    kDirTls = 9,
    kDirLoadConfig = 10,
};

// The PE subsystem: a GUI program (the launcher) or a console program (the
// console launcher).
enum Subsystem : std::uint16_t {
    kSubsystemGui = 2,
    kSubsystemConsole = 3,
};

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

struct Section {
    std::string name;  // up to 8 bytes, as stored
    std::uint32_t virtual_size = 0;
    std::uint32_t virtual_address = 0;
    std::uint32_t raw_size = 0;
    std::uint32_t raw_pointer = 0;
    std::uint32_t characteristics = 0;
    // Extent in memory: the loader maps max(virtual_size, raw_size) when
    // virtual_size is 0, otherwise virtual_size.
    std::uint64_t memory_size() const { return virtual_size ? virtual_size : raw_size; }
};

struct PeImage {
    std::uint32_t pe_offset = 0;          // "PE\0\0"
    std::uint32_t coff_offset = 0;        // IMAGE_FILE_HEADER
    std::uint32_t optional_offset = 0;    // IMAGE_OPTIONAL_HEADER64
    std::uint16_t size_of_optional = 0;
    std::uint32_t section_table_offset = 0;
    std::uint32_t pointer_to_symbols = 0;
    std::uint32_t file_alignment = 0;
    std::uint32_t section_alignment = 0;
    std::uint32_t size_of_headers = 0;
    std::uint32_t size_of_image = 0;
    std::uint32_t checksum = 0;
    std::uint32_t size_of_initialized_data = 0;
    std::uint16_t subsystem = 0;          // kSubsystemGui, kSubsystemConsole, ...
    std::uint32_t number_of_directories = 0;
    std::array<DataDirectory, 16> directories{};
    std::vector<Section> sections;

    // Offsets of header fields that the rewrite updates.
    std::uint32_t checksum_offset() const { return optional_offset + 64; }
    std::uint32_t size_of_image_offset() const { return optional_offset + 56; }
    std::uint32_t size_of_initialized_data_offset() const { return optional_offset + 8; }
    std::uint32_t directory_offset(unsigned index) const { return optional_offset + 112 + 8 * index; }
    std::uint32_t section_header_offset(std::size_t index) const {
        return section_table_offset + static_cast<std::uint32_t>(40 * index);
    }
    std::uint32_t number_of_sections_offset() const { return coff_offset + 2; }
    std::uint32_t pointer_to_symbols_offset() const { return coff_offset + 8; }

    // End of the last byte of section data in the file (at least the headers).
    std::uint64_t end_of_section_data() const;
    // Index of the section whose memory range contains `rva`.
    std::optional<std::size_t> section_of_rva(std::uint64_t rva) const;
    // File offset of [rva, rva + length) when it lies in one section's file data.
    std::optional<std::uint64_t> rva_to_offset(std::uint64_t rva, std::uint64_t length) const;
};

PeImage parse_pe(const Bytes& file);

}  // namespace qdstamp
