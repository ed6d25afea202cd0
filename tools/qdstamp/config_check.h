// Checks a parsed configuration against what the launcher can read.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "config_file.h"
#include "diagnostics.h"

namespace qdstamp {

// Whether a splash bitmap will be in the stamped file.
enum class SplashSource {
    Unknown,    // check command: no launcher to look at; CFG_SPLASH = true is a warning
    Given,      // --splash given
    Available,  // the launcher already has RT_BITMAP 1
    Missing,    // CFG_SPLASH = true is an error
};

// What build knows besides the configuration; check knows none of it.
struct CheckContext {
    bool building = false;  // build: a placeholder left in is an error, not a warning
    SplashSource splash = SplashSource::Unknown;
    // The input launcher's version strings (empty: it has no version
    // resource), which stay when the configuration gives no version key.
    std::optional<std::map<std::u16string, std::u16string>> launcher_version;
    // The input launcher is the console launcher (console subsystem), which
    // ignores the splash screen, CFG_WAIT, CFG_INSTANCE_TITLE and
    // CFG_APP_USER_MODEL_ID.
    bool console_launcher = false;
};

void check_config(const Config& config, const CheckContext& context, Diagnostics& diags);

}  // namespace qdstamp
