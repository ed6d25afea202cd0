#include "stamp.h"

#include <algorithm>

#include "version_info.h"

namespace qdstamp {

Bytes record_data(std::u16string_view text) {
    Bytes out;
    out.reserve(2 * text.size() + 2);
    for (char16_t c : text) append16(out, c);
    append16(out, 0);
    return out;
}

std::vector<Resource> stamped_resources(const std::vector<Resource>& launcher, const StampInputs& in) {
    const bool new_version = !in.config->version.empty();
    std::vector<Resource> out;
    for (const Resource& r : launcher) {
        if (r.type.is(kRtRcData)) continue;
        if (in.icon && (r.type.is(kRtIcon) || r.type.is(kRtGroupIcon))) continue;
        if (in.splash_dib && r.type.is(kRtBitmap) && (r.name.is(1) || r.name.is(2))) continue;
        if (new_version && r.type.is(kRtVersion)) continue;
        out.push_back(r);
    }
    auto add = [&](std::uint16_t type, std::uint16_t name, Bytes data) {
        Resource r;
        r.type = ResourceId::number(type);
        r.name = ResourceId::number(name);
        r.language = kLangNeutralDefault;
        r.data = std::move(data);
        out.push_back(std::move(r));
    };
    for (const auto& [id, value] : in.config->records) add(kRtRcData, static_cast<std::uint16_t>(id), record_data(value.text));
    if (in.icon) {
        for (std::size_t i = 0; i < in.icon->size(); ++i) add(kRtIcon, static_cast<std::uint16_t>(i + 1), (*in.icon)[i].data);
        add(kRtGroupIcon, 1, build_icon_group(*in.icon));
    }
    if (in.splash_dib) add(kRtBitmap, 1, *in.splash_dib);
    if (in.splash_2x_dib) add(kRtBitmap, 2, *in.splash_2x_dib);
    if (new_version) {
        std::map<std::string, std::u16string> keys;
        for (const auto& [key, value] : in.config->version) keys[key] = value.text;
        add(kRtVersion, 1, build_version_resource(keys));
    }
    std::sort(out.begin(), out.end(), resource_less);
    return out;
}

}  // namespace qdstamp
