// Checks a parsed configuration against what the launcher can read.
#pragma once

#include "config_file.h"
#include "diagnostics.h"

namespace qdstamp {

// Whether a splash bitmap will be in the stamped file.
enum class SplashSource {
    Unknown,    // check command: no launcher to look at; CFG_SPLASH = true is a warning
    Available,  // --splash given, or the launcher already has RT_BITMAP 1
    Missing,    // CFG_SPLASH = true is an error
};

void check_config(const Config& config, SplashSource splash, Diagnostics& diags);

}  // namespace qdstamp
