// Composing the stamped launcher's resources from the configuration, icon and
// splash bitmap.
#pragma once

#include <optional>
#include <vector>

#include "config_file.h"
#include "icon_file.h"
#include "resource_tree.h"

namespace qdstamp {

// UTF-16LE text followed by one zero code unit, as a record stores it.
Bytes record_data(std::u16string_view text);

struct StampInputs {
    const Config* config = nullptr;
    const std::vector<IconImage>* icon = nullptr;  // replaces every RT_GROUP_ICON/RT_ICON when set
    const Bytes* splash_dib = nullptr;             // becomes RT_BITMAP 1 when set; replaces RT_BITMAP 2 too
    const Bytes* splash_2x_dib = nullptr;          // becomes RT_BITMAP 2 when set (with splash_dib)
};

// The launcher's resources with every RT_RCDATA entry replaced by the
// configured records, and the icon, splash and version resources replaced
// when given.  Everything else (manifest, other bitmaps, ...) is kept.
std::vector<Resource> stamped_resources(const std::vector<Resource>& launcher, const StampInputs& in);

}  // namespace qdstamp
