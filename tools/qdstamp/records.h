// The launcher's configuration records: RT_RCDATA resources whose integer
// name is the record id and whose data is UTF-16LE text plus one zero unit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qdstamp {

enum class RecordKind {
    Text,      // used literally
    Expanded,  // %NAME% references are expanded by the launcher
    Boolean,   // "true" or "false"
    Integer,   // decimal, signed 32-bit
    EnvVars,   // TAB-separated NAME=value items; each value is expanded
};

struct RecordInfo {
    int id;
    const char* name;
    RecordKind kind;
    int capacity;  // UTF-16 code units including the terminating zero
};

// All records the launcher reads, ordered by id.
const RecordInfo* record_table(std::size_t* count);
const RecordInfo* find_record(std::string_view name);
const RecordInfo* find_record(int id);

constexpr int kStartupErrorId = 101;

}  // namespace qdstamp
