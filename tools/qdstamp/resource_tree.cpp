#include "resource_tree.h"

#include <algorithm>
#include <set>

#include "utf.h"

namespace qdstamp {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
// A launcher has a few dozen resources; this bounds the work a hostile
// directory (huge entry counts) can cause.
constexpr std::uint32_t kMaxEntries = 65536;

class TreeReader {
public:
    TreeReader(const Bytes& file, const PeImage& pe, ByteView tree)
        : file_(file), pe_(pe), tree_(tree) {}

    void read_directory(std::uint32_t offset, int level, Resource& path, std::vector<Resource>& out) {
        if (!visited_.insert(offset).second)
            fail("resource directory at offset " + hex(offset) + " is referenced twice (loop)");
        if (!tree_.fits(offset, 16))
            fail("resource directory at offset " + hex(offset) + " lies outside the resource section");
        std::uint32_t count = std::uint32_t{tree_.u16(offset + 12)} + tree_.u16(offset + 14);
        entries_ += count;
        if (entries_ > kMaxEntries) fail("resource directory has too many entries");
        if (!tree_.fits(offset + 16, 8ull * count))
            fail("resource directory at offset " + hex(offset) + " runs past the resource section");
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t e = offset + 16 + 8 * i;
            std::uint32_t name_field = tree_.u32(e);
            std::uint32_t target = tree_.u32(e + 4);
            ResourceId id = read_id(name_field);
            if (level == 0) path.type = id;
            else if (level == 1) path.name = id;
            else if (id.is_name) fail("resource language given as a string");
            else path.language = id.id;

            if (level < 2) {
                if (!(target & kHighBit))
                    fail("resource entry at offset " + hex(e) + " should point to a subdirectory");
                read_directory(target & ~kHighBit, level + 1, path, out);
            } else {
                if (target & kHighBit)
                    fail("resource tree deeper than type/name/language at offset " + hex(e));
                out.push_back(read_data(target, path));
            }
        }
    }

private:
    ResourceId read_id(std::uint32_t field) {
        ResourceId id;
        if (field & kHighBit) {
            std::uint32_t at = field & ~kHighBit;
            if (!tree_.fits(at, 2)) fail("resource name at offset " + hex(at) + " lies outside the resource section");
            std::uint16_t length = tree_.u16(at);
            if (!tree_.fits(at + 2ull, 2ull * length))
                fail("resource name at offset " + hex(at) + " runs past the resource section");
            id.is_name = true;
            for (std::uint16_t k = 0; k < length; ++k)
                id.name.push_back(static_cast<char16_t>(tree_.u16(at + 2ull + 2ull * k)));
        } else {
            if (field > 0xFFFF) fail("resource id " + hex(field) + " is out of range");
            id.id = static_cast<std::uint16_t>(field);
        }
        return id;
    }

    Resource read_data(std::uint32_t at, const Resource& path) {
        if (!tree_.fits(at, 16)) fail("resource data entry at offset " + hex(at) + " lies outside the resource section");
        std::uint32_t rva = tree_.u32(at);
        std::uint32_t size = tree_.u32(at + 4);
        auto offset = pe_.rva_to_offset(rva, size);
        if (!offset)
            fail("data of resource " + path.type.describe() + "/" + path.name.describe() + " (RVA " +
                 hex(rva) + ", " + std::to_string(size) + " bytes) lies outside the file's sections");
        Resource r;
        r.type = path.type;
        r.name = path.name;
        r.language = path.language;
        r.code_page = tree_.u32(at + 8);
        r.data = ByteView(file_).slice(*offset, size);
        return r;
    }

    const Bytes& file_;
    const PeImage& pe_;
    ByteView tree_;
    std::set<std::uint32_t> visited_;
    std::uint32_t entries_ = 0;
};

struct NameGroup {
    const ResourceId* name;
    std::vector<const Resource*> languages;
    std::uint32_t directory = 0;
    std::uint32_t string = 0;
};

struct TypeGroup {
    const ResourceId* type;
    std::vector<NameGroup> names;
    std::uint32_t directory = 0;
    std::uint32_t string = 0;
};

void write_directory_header(Bytes& out, std::uint32_t at, std::uint16_t named, std::uint16_t ids) {
    // Characteristics, TimeDateStamp and version stay zero: output must not
    // depend on when it was made.
    put16(out, at + 12, named);
    put16(out, at + 14, ids);
}

template <typename Group, typename IdOf>
std::pair<std::uint16_t, std::uint16_t> count_kinds(const std::vector<Group>& groups, IdOf id_of) {
    std::uint16_t named = 0, ids = 0;
    for (const auto& g : groups) (id_of(g).is_name ? named : ids)++;
    return {named, ids};
}

}  // namespace

std::string ResourceId::describe() const {
    return is_name ? "\"" + utf16_to_utf8(name) + "\"" : std::to_string(id);
}

bool operator<(const ResourceId& a, const ResourceId& b) {
    if (a.is_name != b.is_name) return a.is_name;
    if (a.is_name) return a.name < b.name;
    return a.id < b.id;
}

bool operator==(const ResourceId& a, const ResourceId& b) {
    return a.is_name == b.is_name && (a.is_name ? a.name == b.name : a.id == b.id);
}

bool resource_less(const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return a.type < b.type;
    if (!(a.name == b.name)) return a.name < b.name;
    return a.language < b.language;
}

std::vector<Resource> read_resources(const Bytes& file, const PeImage& pe) {
    const DataDirectory& dir = pe.directories[kDirResource];
    if (dir.rva == 0 && dir.size == 0) return {};
    auto index = pe.section_of_rva(dir.rva);
    if (!index) fail("resource directory RVA " + hex(dir.rva) + " lies outside every section");
    const Section& s = pe.sections[*index];
    std::uint32_t within = dir.rva - s.virtual_address;
    if (within >= s.raw_size) fail("resource directory RVA " + hex(dir.rva) + " is not backed by file data");
    ByteView tree(file.data() + s.raw_pointer + within, s.raw_size - within);

    std::vector<Resource> out;
    Resource path;
    TreeReader(file, pe, tree).read_directory(0, 0, path, out);
    std::sort(out.begin(), out.end(), resource_less);
    for (std::size_t i = 1; i < out.size(); ++i)
        if (!resource_less(out[i - 1], out[i]))
            fail("resource " + out[i].type.describe() + "/" + out[i].name.describe() + " language " +
                 hex(out[i].language) + " appears twice");
    return out;
}

Bytes build_resource_section(std::vector<Resource> entries, std::uint32_t section_rva) {
    std::sort(entries.begin(), entries.end(), resource_less);
    for (std::size_t i = 1; i < entries.size(); ++i)
        if (!resource_less(entries[i - 1], entries[i]))
            fail("resource " + entries[i].type.describe() + "/" + entries[i].name.describe() + " given twice");

    std::vector<TypeGroup> types;
    for (const Resource& r : entries) {
        if (types.empty() || !(*types.back().type == r.type)) types.push_back(TypeGroup{&r.type, {}});
        auto& names = types.back().names;
        if (names.empty() || !(*names.back().name == r.name)) names.push_back(NameGroup{&r.name, {}});
        names.back().languages.push_back(&r);
    }

    // Layout: all directory tables, then data entries, then name strings,
    // then the data itself, each blob on an 8-byte boundary.
    std::uint64_t size = 16 + 8ull * types.size();
    for (TypeGroup& t : types) {
        t.directory = static_cast<std::uint32_t>(size);
        size += 16 + 8ull * t.names.size();
    }
    for (TypeGroup& t : types)
        for (NameGroup& n : t.names) {
            n.directory = static_cast<std::uint32_t>(size);
            size += 16 + 8ull * n.languages.size();
        }
    const std::uint64_t data_entries = size;
    size += 16ull * entries.size();
    for (TypeGroup& t : types) {
        if (t.type->is_name) {
            t.string = static_cast<std::uint32_t>(size);
            size += 2 + 2ull * t.type->name.size();
        }
        for (NameGroup& n : t.names)
            if (n.name->is_name) {
                n.string = static_cast<std::uint32_t>(size);
                size += 2 + 2ull * n.name->name.size();
            }
    }
    std::vector<std::uint64_t> data_at;
    for (const Resource& r : entries) {
        size = align_up(size, 8);
        data_at.push_back(size);
        size += r.data.size();
    }
    if (size > 0x7FFFFFFFull || section_rva + size > 0xFFFFFFFFull)
        fail("resources are too large for a PE resource section");

    Bytes out(static_cast<std::size_t>(size), 0);
    auto [named_types, id_types] = count_kinds(types, [](const TypeGroup& g) -> const ResourceId& { return *g.type; });
    write_directory_header(out, 0, named_types, id_types);
    std::size_t entry_index = 0;
    for (std::size_t ti = 0; ti < types.size(); ++ti) {
        const TypeGroup& t = types[ti];
        const std::uint32_t slot = static_cast<std::uint32_t>(16 + 8 * ti);
        put32(out, slot, t.type->is_name ? (kHighBit | t.string) : t.type->id);
        put32(out, slot + 4, kHighBit | t.directory);
        if (t.type->is_name) {
            put16(out, t.string, static_cast<std::uint16_t>(t.type->name.size()));
            for (std::size_t k = 0; k < t.type->name.size(); ++k) put16(out, t.string + 2 + 2 * k, t.type->name[k]);
        }
        auto [named, ids] = count_kinds(t.names, [](const NameGroup& g) -> const ResourceId& { return *g.name; });
        write_directory_header(out, t.directory, named, ids);
        for (std::size_t ni = 0; ni < t.names.size(); ++ni) {
            const NameGroup& n = t.names[ni];
            const std::uint32_t nslot = static_cast<std::uint32_t>(t.directory + 16 + 8 * ni);
            put32(out, nslot, n.name->is_name ? (kHighBit | n.string) : n.name->id);
            put32(out, nslot + 4, kHighBit | n.directory);
            if (n.name->is_name) {
                put16(out, n.string, static_cast<std::uint16_t>(n.name->name.size()));
                for (std::size_t k = 0; k < n.name->name.size(); ++k) put16(out, n.string + 2 + 2 * k, n.name->name[k]);
            }
            write_directory_header(out, n.directory, 0, static_cast<std::uint16_t>(n.languages.size()));
            for (std::size_t li = 0; li < n.languages.size(); ++li) {
                const Resource& r = *n.languages[li];
                const std::uint32_t lslot = static_cast<std::uint32_t>(n.directory + 16 + 8 * li);
                const std::uint32_t entry = static_cast<std::uint32_t>(data_entries + 16 * entry_index);
                put32(out, lslot, r.language);
                put32(out, lslot + 4, entry);
                put32(out, entry, static_cast<std::uint32_t>(section_rva + data_at[entry_index]));
                put32(out, entry + 4, static_cast<std::uint32_t>(r.data.size()));
                put32(out, entry + 8, r.code_page);
                std::copy(r.data.begin(), r.data.end(), out.begin() + static_cast<std::ptrdiff_t>(data_at[entry_index]));
                ++entry_index;
            }
        }
    }
    return out;
}

const Resource* find_resource(const std::vector<Resource>& entries, std::uint16_t type,
                              std::uint16_t name, int language) {
    for (const Resource& r : entries)
        if (r.type.is(type) && r.name.is(name) && (language < 0 || r.language == language)) return &r;
    return nullptr;
}

}  // namespace qdstamp
