#include "config_show.h"

#include <sstream>

#include "bitmap_file.h"
#include "icon_file.h"
#include "records.h"
#include "utf.h"
#include "value_escape.h"
#include "version_info.h"

namespace qdstamp {
namespace {

// The text as the launcher reads it: up to the first zero unit.  Sets
// *problem when the stored data is not exactly text plus one zero unit.
std::u16string record_text(const Bytes& data, std::string* problem) {
    std::u16string text;
    ByteView v(data);
    bool terminated = false;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t c = static_cast<char16_t>(v.u16(i));
        if (c == 0) {
            terminated = true;
            if (i + 2 != data.size()) *problem = "data continues after the terminating zero";
            break;
        }
        text.push_back(c);
    }
    if (data.size() % 2 != 0) *problem = "odd data size " + std::to_string(data.size());
    else if (!terminated) *problem = "no terminating zero";
    return text;
}

// "NAME = value", or "NAME =" for an empty value.
std::string key_line(std::string_view name, const std::string& value) {
    return std::string(name) + (value.empty() ? " =" : " = " + value) + "\n";
}

// A record as configuration lines: list records give one line per item.
std::string record_lines(const RecordInfo& info, const std::u16string& text) {
    if (!has_trait(info, kRepeated)) return key_line(info.name, escape_value(text, &info));
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(kItemSeparator, start);
        out += key_line(info.name, escape_value(std::u16string_view(text).substr(start, end - start), &info));
        if (end == std::u16string::npos) return out;
        start = end + 1;
    }
}

// The size and kind of a splash bitmap, for the comment lines of show.
std::string splash_line(const Resource* bitmap, const char* label) {
    if (!bitmap) return std::string(label) + "none\n";
    try {
        DibInfo info = dib_info(bitmap->data);
        return std::string(label) + std::to_string(info.width) + "x" +
               std::to_string(info.height < 0 ? -std::int64_t{info.height} : info.height) + ", " +
               std::to_string(info.bit_count) + " bits per pixel" + (info.alpha ? ", premultiplied alpha" : "") + "\n";
    } catch (const Failure& f) {
        return std::string(label) + "present but unreadable (" + f.what() + ")\n";
    }
}

}  // namespace

std::string show_config(const std::vector<Resource>& resources, const std::string& file, Diagnostics& diags) {
    std::ostringstream out;
    std::ostringstream notes;
    out << "# qdstamp configuration read from the launcher's records\n";

    for (const Resource& r : resources) {
        if (!r.type.is(kRtRcData)) continue;
        const RecordInfo* info = r.name.is_name ? nullptr : find_record(r.name.id);
        std::string problem;
        std::u16string text = record_text(r.data, &problem);
        const std::string label = "RT_RCDATA " + r.name.describe() + " language " + hex(r.language);
        if (!info) {
            diags.warning(file, 0, label + " is not a record the launcher reads; listed as a comment");
            notes << "# " << label << " (not read by the launcher): " << escape_value(text) << "\n";
            continue;
        }
        if (r.language != kLangNeutralDefault) {
            diags.warning(file, 0, label + " (" + info->name + ") has an unexpected language; listed as a comment");
            notes << "# " << label << ": " << key_line(info->name, escape_value(text, info));
            continue;
        }
        if (!problem.empty())
            diags.warning(file, 0, std::string(info->name) + ": " + problem + "; shown as the launcher reads it");
        out << record_lines(*info, text);
    }

    if (const Resource* version = find_resource(resources, kRtVersion, 1)) {
        out << "\n";
        if (auto keys = version_keys_of(version->data)) {
            std::size_t count = 0;
            const VersionKey* table = version_key_table(&count);
            for (std::size_t i = 0; i < count; ++i) {
                auto it = keys->find(table[i].key);
                if (it != keys->end()) out << key_line(table[i].key, escape_value(it->second));
            }
        } else {
            out << "# The version resource was not written by qdstamp; build keeps it unless version keys are given.\n";
            for (const auto& [name, value] : version_strings(version->data))
                out << "#   " << utf16_to_utf8(name) << ": " << escape_value(value) << "\n";
        }
    }

    out << "\n";
    if (const Resource* group = find_resource(resources, kRtGroupIcon, 1)) {
        auto ids = icon_group_ids(group->data);
        out << "# Icon: group 1 with " << ids.size() << " image(s)\n";
    } else {
        out << "# Icon: none\n";
    }
    out << splash_line(find_resource(resources, kRtBitmap, 1), "# Splash bitmap: ");
    if (const Resource* double_size = find_resource(resources, kRtBitmap, 2))
        out << splash_line(double_size, "# Splash bitmap 2x: ");
    out << "# Manifest: " << (find_resource(resources, kRtManifest, 1) ? "present" : "none") << "\n";
    if (!notes.str().empty()) out << "\n" << notes.str();
    return out.str();
}

}  // namespace qdstamp
