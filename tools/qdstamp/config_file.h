// Reading the configuration file (app.qdcfg).
//
// UTF-8 text (an optional UTF-8 byte order mark is skipped), one
// "NAME = value" per line; lines whose first non-blank character is '#' and
// blank lines are ignored; blanks (spaces, tabs) around the name and the
// value are trimmed; escapes as in value_escape.h; CR before LF is ignored.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "diagnostics.h"

namespace qdstamp {

struct ConfigValue {
    int line = 0;
    std::u16string text;
};

struct Config {
    std::string path;                            // as given, used in messages
    std::map<int, ConfigValue> records;          // by record id
    std::map<std::string, ConfigValue> version;  // by version key (PRODUCT_NAME, ...)
};

// Syntax problems (bad UTF-8, missing '=', unknown or duplicate names, bad
// escapes) are added to `diags` as errors; the rest of the file is still read
// so that one run reports every problem.
Config parse_config(std::string_view text, const std::string& path, Diagnostics& diags);

}  // namespace qdstamp
