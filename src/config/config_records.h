// The configuration records embedded in the launcher's own resources, and the
// three readers through which every record is read.
//
// A record is an RT_RCDATA resource with the record id as its integer name,
// language 0x0400, holding UTF-16LE text and one terminating zero unit.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "core/launch_state.h"

enum ConfigRecord : WORD {
    CFG_RUNTIME_DIR = 1,
    CFG_MIN_VERSION = 2,
    CFG_MAX_VERSION = 3,
    CFG_SPLASH = 4,
    CFG_SPLASH_UNTIL_WINDOW = 5,
    CFG_SPLASH_TIMEOUT = 6,
    CFG_SPLASH_TIMEOUT_ERROR = 7,
    CFG_WORK_DIR = 8,
    CFG_PRIVATE_LAUNCHER = 9,
    CFG_ERROR_TITLE = 10,
    CFG_WAIT = 11,
    CFG_JVM_OPTIONS = 12,
    CFG_APP_ARGS = 13,
    CFG_JAR = 14,
    CFG_MAIN_CLASS = 15,
    CFG_CLASSPATH = 16,
    CFG_JAR_IN_EXE = 17,
    CFG_SEARCH_ORDER = 18,
    CFG_ENV_VARS = 19,
    CFG_PRIORITY = 20,
    CFG_DOWNLOAD_URL = 21,
    CFG_HELP_URL = 22,
    CFG_MUTEX = 23,
    CFG_INSTANCE_TITLE = 24,
    CFG_INITIAL_HEAP_MB = 25,
    CFG_INITIAL_HEAP_PERCENT = 26,
    CFG_MAX_HEAP_MB = 27,
    CFG_PREFERRED_HEAP_MB = 29,
    CFG_MIN_HEAP_MB = 30,
    CFG_RUNTIME_SOURCES = 31,
    CFG_MODULE = 32,
    CFG_MODULE_PATH = 33,
    CFG_REQUIREMENTS_URL = 34,
    CFG_SUPPORT_CONTACT = 35,
    CFG_RESTART_EXIT_CODE = 39,
    MSG_STARTUP_ERROR = 101,
    MSG_RUNTIME_DIR_ERROR = 102,
    MSG_RUNTIME_VERSION_ERROR = 103,
    MSG_LAUNCHER_ERROR = 104,
};

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

// The conversion of integer records: leading white space, one optional sign,
// decimal digits up to the first other character; no digits give 0 and values
// beyond the signed 32-bit range give the nearest limit.
int parseConfigInt(const wchar_t* text);

// Whether a record was found too long for its place of use in this run
// (configFaultRecord, launch_state.h). Noting the fault also explains it in
// messageText, so the launch can be refused with one clear report instead of
// running on a cut or ignored setting.
inline bool configFaulted() { return configFaultRecord != 0; }
