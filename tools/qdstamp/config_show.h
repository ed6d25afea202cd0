// Printing a launcher's resources back as a configuration file.
#pragma once

#include <string>
#include <vector>

#include "diagnostics.h"
#include "resource_tree.h"

namespace qdstamp {

// Records become "NAME = value" lines in id order, escaped so that parsing
// the text gives the same records again.  The version resource becomes
// version keys when qdstamp wrote it (regenerating from the keys gives the
// same bytes); otherwise its strings are listed as comments.  Icon, splash
// bitmap and manifest are described in comments.  Records the launcher does
// not read, or cannot read as text, are reported as warnings and comments.
std::string show_config(const std::vector<Resource>& resources, const std::string& file, Diagnostics& diags);

}  // namespace qdstamp
