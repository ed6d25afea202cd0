#include "version_info.h"

#include <functional>
#include <vector>

namespace qdstamp {
namespace {

constexpr VersionKey kKeys[] = {
    {"COMPANY_NAME", u"CompanyName"},
    {"FILE_DESCRIPTION", u"FileDescription"},
    {"FILE_VERSION", u"FileVersion"},
    {"INTERNAL_NAME", u"InternalName"},
    {"COPYRIGHT", u"LegalCopyright"},
    {"TRADEMARKS", u"LegalTrademarks"},
    {"ORIGINAL_FILENAME", u"OriginalFilename"},
    {"PRODUCT_NAME", u"ProductName"},
    {"PRODUCT_VERSION", u"ProductVersion"},
    {"COMMENTS", u"Comments"},
};

constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;

void append_text(Bytes& out, std::u16string_view text) {
    for (char16_t c : text) append16(out, c);
    append16(out, 0);
}

// Writes one block: wLength, wValueLength, wType, key, padding, value,
// then the children, each on a 4-byte boundary.  wLength covers everything
// up to the end of the last child.
void write_block(Bytes& out, std::u16string_view key, std::uint16_t value_length, std::uint16_t type,
                 const Bytes& value, const std::function<void(Bytes&)>& children) {
    pad_to(out, 4);
    const std::size_t start = out.size();
    append16(out, 0);
    append16(out, value_length);
    append16(out, type);
    append_text(out, key);
    pad_to(out, 4);
    out.insert(out.end(), value.begin(), value.end());
    if (children) children(out);
    put16(out, start, static_cast<std::uint16_t>(out.size() - start));
}

std::uint32_t high(const std::array<std::uint16_t, 4>& v) { return (std::uint32_t{v[0]} << 16) | v[1]; }
std::uint32_t low(const std::array<std::uint16_t, 4>& v) { return (std::uint32_t{v[2]} << 16) | v[3]; }

// A minimal reader for blocks, used to list the strings of a resource.
struct Block {
    std::u16string key;
    std::size_t value_at = 0;
    std::size_t value_bytes = 0;
    std::size_t children_at = 0;
    std::size_t end = 0;
};

std::optional<Block> read_block(const Bytes& data, std::size_t at, std::size_t limit) {
    ByteView v(data);
    if (!v.fits(at, 6) || at + 6 > limit) return std::nullopt;
    Block b;
    std::size_t length = v.u16(at);
    std::uint16_t value_length = v.u16(at + 2);
    std::uint16_t type = v.u16(at + 4);
    if (length < 6 || at + length > limit) return std::nullopt;
    b.end = at + length;
    std::size_t p = at + 6;
    for (;;) {
        if (p + 2 > b.end) return std::nullopt;
        char16_t c = static_cast<char16_t>(v.u16(p));
        p += 2;
        if (c == 0) break;
        b.key.push_back(c);
    }
    p = static_cast<std::size_t>(align_up(p, 4));
    b.value_at = p;
    b.value_bytes = type == 1 ? 2u * value_length : value_length;
    if (b.value_at + b.value_bytes > b.end) b.value_bytes = b.end > b.value_at ? b.end - b.value_at : 0;
    b.children_at = static_cast<std::size_t>(align_up(b.value_at + b.value_bytes, 4));
    return b;
}

std::vector<Block> children_of(const Bytes& data, const Block& parent) {
    std::vector<Block> out;
    std::size_t p = parent.children_at;
    while (p + 6 <= parent.end && out.size() < 256) {
        auto child = read_block(data, p, parent.end);
        if (!child) break;
        out.push_back(*child);
        p = static_cast<std::size_t>(align_up(child->end, 4));
    }
    return out;
}

}  // namespace

const VersionKey* version_key_table(std::size_t* count) {
    *count = sizeof kKeys / sizeof kKeys[0];
    return kKeys;
}

bool is_version_key(std::string_view key) {
    for (const VersionKey& k : kKeys)
        if (key == k.key) return true;
    return false;
}

std::optional<std::array<std::uint16_t, 4>> parse_version_number(std::u16string_view text) {
    std::array<std::uint16_t, 4> out{};
    std::size_t part = 0, digits = 0;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'.') {
            if (digits == 0 || part >= 4) return std::nullopt;
            out[part++] = static_cast<std::uint16_t>(value);
            value = 0;
            digits = 0;
        } else if (text[i] >= u'0' && text[i] <= u'9') {
            value = value * 10 + (text[i] - u'0');
            if (++digits > 5 || value > 65535) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (part != 4) return std::nullopt;
    return out;
}

Bytes build_version_resource(const std::map<std::string, std::u16string>& keys) {
    auto get = [&](const char* key) -> std::u16string {
        auto it = keys.find(key);
        return it == keys.end() ? std::u16string() : it->second;
    };
    std::map<std::string, std::u16string> strings = keys;
    if (get("PRODUCT_VERSION").empty()) strings["PRODUCT_VERSION"] = get("FILE_VERSION");
    const auto file = parse_version_number(strings["FILE_VERSION"]).value_or(std::array<std::uint16_t, 4>{});
    const auto product = parse_version_number(strings["PRODUCT_VERSION"]).value_or(file);

    Bytes fixed;
    append32(fixed, kFixedSignature);
    append32(fixed, 0x00010000);  // structure version 1.0
    append32(fixed, high(file));
    append32(fixed, low(file));
    append32(fixed, high(product));
    append32(fixed, low(product));
    append32(fixed, 0x3F);        // VS_FFI_FILEFLAGSMASK
    append32(fixed, 0);           // no flags
    append32(fixed, 0x00040004);  // VOS_NT_WINDOWS32
    append32(fixed, 1);           // VFT_APP
    append32(fixed, 0);
    append32(fixed, 0);           // no file date
    append32(fixed, 0);

    Bytes out;
    write_block(out, u"VS_VERSION_INFO", static_cast<std::uint16_t>(fixed.size()), 0, fixed, [&](Bytes& o) {
        write_block(o, u"StringFileInfo", 0, 1, {}, [&](Bytes& o2) {
            write_block(o2, u"040904B0", 0, 1, {}, [&](Bytes& o3) {
                for (const VersionKey& k : kKeys) {
                    const std::u16string& value = strings[k.key];
                    if (value.empty()) continue;
                    Bytes text;
                    append_text(text, value);
                    write_block(o3, k.string_name, static_cast<std::uint16_t>(value.size() + 1), 1, text, nullptr);
                }
            });
        });
        Bytes translation;
        append16(translation, 0x0409);
        append16(translation, 0x04B0);
        write_block(o, u"VarFileInfo", 0, 1, {}, [&](Bytes& o2) {
            write_block(o2, u"Translation", 4, 0, translation, nullptr);
        });
    });
    return out;
}

std::map<std::u16string, std::u16string> version_strings(const Bytes& resource) {
    std::map<std::u16string, std::u16string> out;
    auto root = read_block(resource, 0, resource.size());
    if (!root || root->key != u"VS_VERSION_INFO") return out;
    for (const Block& info : children_of(resource, *root)) {
        if (info.key != u"StringFileInfo") continue;
        for (const Block& table : children_of(resource, info))
            for (const Block& s : children_of(resource, table)) {
                std::u16string value;
                ByteView v(resource);
                for (std::size_t p = s.value_at; p + 2 <= s.value_at + s.value_bytes; p += 2) {
                    char16_t c = static_cast<char16_t>(v.u16(p));
                    if (c == 0) break;
                    value.push_back(c);
                }
                out.emplace(s.key, value);
            }
    }
    return out;
}

std::optional<std::map<std::string, std::u16string>> version_keys_of(const Bytes& resource) {
    std::map<std::string, std::u16string> keys;
    auto strings = version_strings(resource);
    for (const auto& [name, value] : strings) {
        const VersionKey* key = nullptr;
        for (const VersionKey& k : kKeys)
            if (name == k.string_name) key = &k;
        if (!key) return std::nullopt;
        keys[key->key] = value;
    }
    if (keys.find("FILE_VERSION") == keys.end() || !parse_version_number(keys["FILE_VERSION"])) return std::nullopt;
    if (build_version_resource(keys) != resource) return std::nullopt;
    return keys;
}

}  // namespace qdstamp
