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
            notes << "# " << label << ": " << info->name << " = " << escape_value(text) << "\n";
            continue;
        }
        if (!problem.empty())
            diags.warning(file, 0, std::string(info->name) + ": " + problem + "; shown as the launcher reads it");
        out << info->name << " = " << escape_value(text) << "\n";
    }

    if (const Resource* version = find_resource(resources, kRtVersion, 1)) {
        out << "\n";
        if (auto keys = version_keys_of(version->data)) {
            std::size_t count = 0;
            const VersionKey* table = version_key_table(&count);
            for (std::size_t i = 0; i < count; ++i) {
                auto it = keys->find(table[i].key);
                if (it != keys->end()) out << table[i].key << " = " << escape_value(it->second) << "\n";
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
    if (const Resource* bitmap = find_resource(resources, kRtBitmap, 1)) {
        try {
            DibInfo info = dib_info(bitmap->data);
            out << "# Splash bitmap: " << info.width << "x" << (info.height < 0 ? -info.height : info.height) << ", "
                << info.bit_count << " bits per pixel\n";
        } catch (const Failure& f) {
            out << "# Splash bitmap: present but unreadable (" << f.what() << ")\n";
        }
    } else {
        out << "# Splash bitmap: none\n";
    }
    out << "# Manifest: " << (find_resource(resources, kRtManifest, 1) ? "present" : "none") << "\n";
    if (!notes.str().empty()) out << "\n" << notes.str();
    return out.str();
}

}  // namespace qdstamp
