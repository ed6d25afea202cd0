// Replacing the resources of a PE32+ file.
#pragma once

#include <vector>

#include "le_bytes.h"
#include "pe_image.h"
#include "resource_tree.h"

namespace qdstamp {

enum class RsrcPlacement {
    Replaced,  // the old resource section was last and was rewritten in place
    Appended,  // the old one stays untouched; a new .rsrc section follows the last section
};

struct RewriteResult {
    Bytes file;
    RsrcPlacement placement = RsrcPlacement::Appended;
};

// Throws Failure when the file is signed: its certificate would no longer
// match the stamped bytes.
void refuse_signed(const PeImage& pe);

// Returns the file with `resources` as its complete resource set.  Bytes that
// do not belong to the headers being updated, the replaced resource section
// or the padding before the new section are kept unchanged; data after the
// last section (symbol table, appended archives) is moved behind the new
// section unchanged, with the symbol table and debug data pointers adjusted.
// When a section is appended, the old resource section is renamed .oldrsrc
// (as is any other section named .rsrc) and, when nothing else lives in it,
// its data is zeroed, so that only the new section is taken for the
// resources.  Throws Failure for a signed file, or when a section must be
// added and the headers have no room for its header.
RewriteResult replace_resources(const Bytes& file, const PeImage& pe, const std::vector<Resource>& resources);

}  // namespace qdstamp
