// Reading the configuration file (app.qdcfg).
//
// UTF-8 text (an optional UTF-8 byte order mark is skipped), one
// "NAME = value" per line; lines whose first non-blank character is '#' and
// blank lines are ignored; blanks (spaces, tabs) around the name and the
// value are trimmed; values are literal apart from the <U+XXXX> escape (see
// value_escape.h); CR before LF is ignored.  A list record (CFG_ENV_VARS) is
// given once per item.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics.h"

namespace qdstamp {

struct ConfigValue {
    int line = 0;  // the first line
    std::u16string text;
    std::vector<int> item_lines;  // list records: the line of each item
    // The line an item was given on (the first line when unknown).
    int line_of_item(std::size_t item) const { return item < item_lines.size() ? item_lines[item] : line; }
};

struct Config {
    std::string path;                            // as given, used in messages
    std::map<int, ConfigValue> records;          // by record id
    std::map<std::string, ConfigValue> version;  // by version key (PRODUCT_NAME, ...)
};

// The name of the text encoding when `bytes` are plainly not UTF-8 (UTF-16 or
// UTF-32, with or without a byte order mark), for a message that says so.
std::optional<std::string> foreign_encoding(std::string_view bytes);

// Syntax problems (bad UTF-8, missing '=', unknown or duplicate names, bad
// escapes, values written for the earlier escaped format) are added to
// `diags`; the rest of the file is still read so that one run reports every
// problem.
Config parse_config(std::string_view text, const std::string& path, Diagnostics& diags);

}  // namespace qdstamp
