// The configuration records embedded in the launcher's own resources, and the
// three readers through which every record is read. The records themselves,
// their ids and capacities, are listed in record_table.h.
//
// A record is an RT_RCDATA resource with the record id as its integer name,
// language 0x0400, holding UTF-16LE text and one terminating zero unit.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "config/record_table.h"
#include "core/launch_state.h"

enum RecordLookup { RECORD_ABSENT, RECORD_UNREADABLE, RECORD_FOUND };

// Finds a record in moduleHandle. On RECORD_FOUND, *text points at the stored
// units and *length is the number before the first zero unit, never beyond the
// stored size (a record stored without its terminator ends with its data).
// RECORD_UNREADABLE notes the failed load's error code as failureCode, so a
// failure that the missing text causes reports it; RECORD_ABSENT notes nothing.
RecordLookup findConfigRecord(WORD id, const wchar_t** text, size_t* length);

// Copies the record's text into `buffer` and returns 1, or returns 0 and leaves
// `buffer` untouched when the record is absent or unreadable. A text that does
// not fit `capacity` (which counts the terminating zero) is a configuration
// fault: nothing is copied, 0 is returned and the fault is noted (see below).
int loadConfigString(WORD id, wchar_t* buffer, size_t capacity);
// 1 only when the record's text is exactly "true".
int loadConfigBool(WORD id);
// The record's text as a decimal number; 0 when absent.
int loadConfigInt(WORD id);

// The texts of Boolean and integer records are read into this many units.
enum : size_t { CONFIG_NUMBER_CAPACITY = 20 };

// The forms every read of a record in the table goes through: the record is
// named at compile time, which checks that its place holds every text qdstamp
// accepts for it (the table's capacity). A read whose record is known only at
// run time states the same check with a static_assert by its buffer.
template <ConfigRecord id, size_t capacity>
inline int loadConfigString(wchar_t (&buffer)[capacity]) {
    static_assert(capacity >= recordCapacity(id), "the buffer is smaller than the record's capacity");
    return loadConfigString(id, buffer, capacity);
}
template <ConfigRecord id>
inline int loadConfigBool() {
    static_assert(CONFIG_NUMBER_CAPACITY >= recordCapacity(id), "the record is longer than a Boolean's text");
    return loadConfigBool(id);
}
template <ConfigRecord id>
inline int loadConfigInt() {
    static_assert(CONFIG_NUMBER_CAPACITY >= recordCapacity(id), "the record is longer than a number's text");
    return loadConfigInt(id);
}

// The conversion of integer records: leading white space, one optional sign,
// decimal digits up to the first other character; no digits give 0 and values
// beyond the signed 32-bit range give the nearest limit.
int parseConfigInt(const wchar_t* text);

// Whether a record was found too long for its place of use in this run
// (configFaultRecord, launch_state.h). Noting the fault also explains it in
// messageText, so the launch can be refused with one clear report instead of
// running on a cut or ignored setting.
inline bool configFaulted() { return configFaultRecord != 0; }
