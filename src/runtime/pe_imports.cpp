#include "runtime/pe_imports.h"

#include <stdint.h>

namespace {

const size_t DESCRIPTOR_SIZE = 20;
const size_t SECTION_HEADER_SIZE = 40;
// No real program imports from more DLLs than this; a longer table is damaged.
const uint32_t DESCRIPTORS_MAX = 4096;

struct PeView {
    const unsigned char* file;
    size_t size;
    size_t sections;     // offset of the first section header
    uint32_t sectionCount;
};

bool read16(const PeView& pe, uint64_t offset, uint32_t* value) {
    if (offset > pe.size || pe.size - offset < 2) return false;
    *value = pe.file[offset] | (static_cast<uint32_t>(pe.file[offset + 1]) << 8);
    return true;
}

bool read32(const PeView& pe, uint64_t offset, uint32_t* value) {
    if (offset > pe.size || pe.size - offset < 4) return false;
    const unsigned char* p = pe.file + offset;
    *value = p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
             (static_cast<uint32_t>(p[3]) << 24);
    return true;
}

// The file offset of an address of the loaded image, when a section holds it
// in the file.
bool fileOffsetOf(const PeView& pe, uint32_t rva, uint64_t* offset) {
    for (uint32_t i = 0; i < pe.sectionCount; ++i) {
        uint64_t header = pe.sections + static_cast<uint64_t>(i) * SECTION_HEADER_SIZE;
        uint32_t address = 0, rawSize = 0, rawOffset = 0;
        if (!read32(pe, header + 12, &address) || !read32(pe, header + 16, &rawSize) ||
            !read32(pe, header + 20, &rawOffset)) {
            return false;
        }
        if (rva < address || rva - address >= rawSize) continue;
        *offset = static_cast<uint64_t>(rawOffset) + (rva - address);
        return *offset < pe.size;
    }
    return false;
}

// The offset of the file header, after the "MZ" stub and the "PE\0\0" signature.
bool findFileHeader(const PeView& pe, uint64_t* fileHeader) {
    uint32_t signature = 0, headerOffset = 0;
    if (!read16(pe, 0, &signature) || signature != 0x5A4D) return false; // "MZ"
    if (!read32(pe, 0x3C, &headerOffset) || !read32(pe, headerOffset, &signature) || signature != 0x4550) {
        return false; // "PE\0\0"
    }
    *fileHeader = static_cast<uint64_t>(headerOffset) + 4;
    return true;
}

// Finds the section table and the import table's address (0: no imports).
bool openPe(PeView& pe, uint32_t* importRva) {
    uint64_t fileHeader = 0;
    if (!findFileHeader(pe, &fileHeader)) return false;
    uint64_t optionalHeader = fileHeader + 20;
    uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!read16(pe, fileHeader + 2, &sectionCount) || !read16(pe, fileHeader + 16, &optionalSize) ||
        !read16(pe, optionalHeader, &magic)) {
        return false;
    }
    // The data directories follow the fixed fields, whose size depends on the format.
    uint64_t countField = magic == 0x20B ? 108 : magic == 0x10B ? 92 : 0;
    if (countField == 0) return false;
    uint32_t directoryCount = 0;
    if (!read32(pe, optionalHeader + countField, &directoryCount)) return false;
    *importRva = 0;
    uint64_t importEntry = optionalHeader + countField + 4 + 8; // directory 1
    if (directoryCount >= 2 && importEntry + 8 <= optionalHeader + optionalSize &&
        !read32(pe, importEntry, importRva)) {
        return false;
    }
    pe.sections = static_cast<size_t>(optionalHeader + optionalSize);
    pe.sectionCount = sectionCount;
    return pe.sections <= pe.size;
}

} // namespace

bool forEachImportedDll(const unsigned char* file, size_t size, ImportVisitor visit, void* context) {
    PeView pe = {file, size, 0, 0};
    uint32_t importRva = 0;
    if (!openPe(pe, &importRva)) return false;
    if (importRva == 0) return true;

    for (uint32_t i = 0; i < DESCRIPTORS_MAX; ++i) {
        uint64_t descriptor = 0;
        uint32_t rva = importRva + i * DESCRIPTOR_SIZE;
        if (rva < importRva || !fileOffsetOf(pe, rva, &descriptor)) return false;
        uint32_t lookup = 0, nameRva = 0, thunks = 0;
        if (!read32(pe, descriptor, &lookup) || !read32(pe, descriptor + 12, &nameRva) ||
            !read32(pe, descriptor + 16, &thunks)) {
            return false;
        }
        if (nameRva == 0 && lookup == 0 && thunks == 0) return true; // the closing entry
        uint64_t name = 0;
        if (!fileOffsetOf(pe, nameRva, &name)) return false;
        size_t length = 0;
        while (name + length < size && file[name + length] != 0) {
            if (++length > IMPORT_NAME_MAX) return false;
        }
        if (name + length >= size) return false; // no terminator inside the file
        if (!visit(reinterpret_cast<const char*>(file + name), length, context)) return false;
    }
    return false;
}

bool readPeMachine(const unsigned char* file, size_t size, uint16_t* machine) {
    PeView pe = {file, size, 0, 0};
    uint64_t fileHeader = 0;
    uint32_t value = 0;
    if (!findFileHeader(pe, &fileHeader) || !read16(pe, fileHeader, &value)) return false;
    *machine = static_cast<uint16_t>(value);
    return true;
}
