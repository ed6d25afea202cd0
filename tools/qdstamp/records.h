// The launcher's configuration records: RT_RCDATA resources whose integer
// name is the record id and whose data is UTF-16LE text plus one zero unit.
// Which records there are, with their ids, names, capacities, kinds and
// traits, is the launcher's own record table (src/config/record_table.h):
// its names (CFG_MAIN_CLASS, ...) are the ids here too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/record_table.h"

namespace qdstamp {

enum class RecordKind {
    Text,      // used literally
    Expanded,  // %NAME% references are expanded by the launcher
    Boolean,   // "true" or "false"
    Integer,   // decimal, signed 32-bit
    EnvVars,   // TAB-separated NAME=value items; each value is expanded
};

// What the launcher does with a record's text, beyond its kind.
enum RecordTrait : unsigned {
    kPath = 1,         // names a file or folder: no control characters
    kCommandLine = 2,  // ends up on the child's command line: no control characters
    kRepeated = 4,     // a list: the key is given once per item, items are joined with TAB
    kShown = 8,        // shown to the user in a window (titles, messages)
    kQuoted = 16,      // the launcher puts the text in double quotes itself
};

struct RecordInfo {
    int id;
    const char* name;
    RecordKind kind;
    int capacity;         // UTF-16 code units including the terminating zero
    unsigned traits = 0;  // RecordTrait bits
};

// All records of the table, ordered by id.
const RecordInfo* record_table(std::size_t* count);
const RecordInfo* find_record(std::string_view name);
const RecordInfo* find_record(int id);

inline bool has_trait(const RecordInfo& r, RecordTrait t) { return (r.traits & t) != 0; }

// The separator of the items of a kRepeated record.
constexpr char16_t kItemSeparator = u'\t';

}  // namespace qdstamp
