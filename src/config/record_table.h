// The configuration records: one row each, the only place a record is named.
// The launcher and qdstamp both include this table, and the resource scripts
// use its names through record_ids.h, which the build writes from it
// (cmake/record_ids.cmake). The table is plain C++ for the launcher's
// freestanding build: no library, no code.
//
// A row is QD_RECORD(id, name, capacity, kind, traits):
//   id        the record's resource name, an integer: CFG_ records up to 99,
//             messages (MSG_) from 101. Launchers are stamped once and kept:
//             an id, once given, never gets another meaning.
//   name      the key in qdstamp's configuration and the launcher's constant.
//   capacity  UTF-16 units with the terminating zero. qdstamp refuses a longer
//             value, and the launcher's readers check at compile time that
//             the buffer a record is read into holds this many
//             (config_records.h), so a value qdstamp accepts always fits.
//   kind      what qdstamp checks the text for (RecordKind in
//             tools/qdstamp/records.h): Text, Expanded (%NAME% references),
//             Boolean, Integer, EnvVars.
//   traits    what the launcher does with the text, qdstamp's RecordTrait
//             bits, or 0: kPath, kCommandLine, kRepeated, kShown, kQuoted.
// The launcher uses only id, name and capacity.
//
// Adding a record:
//   1. its row below, in id order;
//   2. its use in the launcher, read through loadConfigString<ID>(buffer),
//      loadConfigBool<ID>() or loadConfigInt<ID>() (config_records.h);
//   3. any check beyond its kind and traits in qdstamp's config_check.cpp, and
//      its lines in the starter configuration (tools/qdstamp/starter_config.cpp);
//   4. its entry in docs/keys.md and in the record table of docs/qdstamp.md.
// Keep each row on one line that begins with QD_RECORD(: the build reads the
// ids and names for the resource scripts from these lines.
#pragma once

#include <stddef.h>

#define QD_RECORD_TABLE(QD_RECORD)                                                            \
    QD_RECORD(1, CFG_RUNTIME_DIR, 260, Expanded, kPath | kCommandLine)                        \
    QD_RECORD(2, CFG_MIN_VERSION, 128, Text, 0)                                               \
    QD_RECORD(3, CFG_MAX_VERSION, 128, Text, 0)                                               \
    QD_RECORD(4, CFG_SPLASH, 20, Boolean, 0)                                                  \
    QD_RECORD(5, CFG_SPLASH_UNTIL_WINDOW, 20, Boolean, 0)                                     \
    QD_RECORD(6, CFG_SPLASH_TIMEOUT, 10, Integer, 0)                                          \
    QD_RECORD(7, CFG_SPLASH_TIMEOUT_ERROR, 20, Boolean, 0)                                    \
    QD_RECORD(8, CFG_WORK_DIR, 260, Text, kPath)                                              \
    QD_RECORD(9, CFG_PRIVATE_LAUNCHER, 20, Boolean, 0)                                        \
    QD_RECORD(10, CFG_ERROR_TITLE, 128, Text, kShown)                                         \
    QD_RECORD(11, CFG_WAIT, 20, Boolean, 0)                                                   \
    QD_RECORD(12, CFG_JVM_OPTIONS, 32768, Expanded, kCommandLine)                             \
    QD_RECORD(13, CFG_APP_ARGS, 32768, Text, kCommandLine)                                    \
    QD_RECORD(14, CFG_JAR, 260, Text, kPath | kCommandLine | kQuoted)                         \
    QD_RECORD(15, CFG_MAIN_CLASS, 128, Text, kCommandLine)                                    \
    QD_RECORD(16, CFG_CLASSPATH, 32768, Expanded, kPath | kCommandLine | kQuoted)             \
    QD_RECORD(17, CFG_JAR_IN_EXE, 20, Boolean, 0)                                             \
    QD_RECORD(18, CFG_SEARCH_ORDER, 20, Integer, 0)                                           \
    QD_RECORD(19, CFG_ENV_VARS, 32767, EnvVars, kRepeated)                                    \
    QD_RECORD(20, CFG_PRIORITY, 20, Integer, 0)                                               \
    QD_RECORD(21, CFG_DOWNLOAD_URL, 256, Text, 0)                                             \
    QD_RECORD(22, CFG_HELP_URL, 256, Text, 0)                                                 \
    QD_RECORD(23, CFG_MUTEX, 128, Text, 0)                                                    \
    QD_RECORD(24, CFG_INSTANCE_TITLE, 128, Text, kShown)                                      \
    QD_RECORD(25, CFG_INITIAL_HEAP_MB, 20, Integer, 0)                                        \
    QD_RECORD(26, CFG_INITIAL_HEAP_PERCENT, 20, Integer, 0)                                   \
    QD_RECORD(27, CFG_MAX_HEAP_MB, 20, Integer, 0)                                            \
    QD_RECORD(29, CFG_PREFERRED_HEAP_MB, 20, Integer, 0)                                      \
    QD_RECORD(30, CFG_MIN_HEAP_MB, 20, Integer, 0)                                            \
    QD_RECORD(31, CFG_RUNTIME_SOURCES, 260, Text, 0)                                          \
    QD_RECORD(32, CFG_MODULE, 260, Text, kCommandLine)                                        \
    QD_RECORD(33, CFG_MODULE_PATH, 32768, Expanded, kPath | kCommandLine | kQuoted)           \
    QD_RECORD(34, CFG_REQUIREMENTS_URL, 256, Text, kShown)                                    \
    QD_RECORD(35, CFG_SUPPORT_CONTACT, 256, Text, kShown)                                     \
    QD_RECORD(36, CFG_RUNTIME_MACHINES, 128, Text, 0)                                         \
    QD_RECORD(37, CFG_FORWARD_ARGUMENTS, 20, Boolean, 0)                                      \
    QD_RECORD(38, CFG_APP_USER_MODEL_ID, 129, Text, 0)                                        \
    QD_RECORD(39, CFG_RESTART_EXIT_CODE, 20, Integer, 0)                                      \
    QD_RECORD(101, MSG_STARTUP_ERROR, 1024, Text, kShown)                                     \
    QD_RECORD(102, MSG_RUNTIME_DIR_ERROR, 1024, Text, kShown)                                 \
    QD_RECORD(103, MSG_RUNTIME_VERSION_ERROR, 1024, Text, kShown)                             \
    QD_RECORD(104, MSG_LAUNCHER_ERROR, 1024, Text, kShown)

// The records' ids under their names (a Windows WORD underneath).
enum ConfigRecord : unsigned short {
#define QD_RECORD_ID(id, name, capacity, kind, traits) name = id,
    QD_RECORD_TABLE(QD_RECORD_ID)
#undef QD_RECORD_ID
};

// A record's capacity from the table (two rows with one id do not compile).
constexpr size_t recordCapacity(ConfigRecord record) {
    switch (record) {
#define QD_RECORD_CAPACITY(id, name, capacity, kind, traits) \
    case name:                                                \
        return capacity;
        QD_RECORD_TABLE(QD_RECORD_CAPACITY)
#undef QD_RECORD_CAPACITY
    }
    return 0;
}
