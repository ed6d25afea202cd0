#include "records.h"

namespace qdstamp {
namespace {

constexpr RecordInfo kRecords[] = {
#define QD_RECORD_INFO(id, name, capacity, kind, traits) {id, #name, RecordKind::kind, capacity, traits},
    QD_RECORD_TABLE(QD_RECORD_INFO)
#undef QD_RECORD_INFO
};

constexpr bool ordered_by_id() {
    for (std::size_t i = 1; i < sizeof kRecords / sizeof kRecords[0]; ++i)
        if (kRecords[i - 1].id >= kRecords[i].id) return false;
    return true;
}
static_assert(ordered_by_id(), "the record table lists its rows in id order");

}  // namespace

const RecordInfo* record_table(std::size_t* count) {
    *count = sizeof kRecords / sizeof kRecords[0];
    return kRecords;
}

const RecordInfo* find_record(std::string_view name) {
    for (const RecordInfo& r : kRecords)
        if (name == r.name) return &r;
    return nullptr;
}

const RecordInfo* find_record(int id) {
    for (const RecordInfo& r : kRecords)
        if (r.id == id) return &r;
    return nullptr;
}

}  // namespace qdstamp
