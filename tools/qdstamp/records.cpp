#include "records.h"

namespace qdstamp {
namespace {

using K = RecordKind;
constexpr unsigned kPathOnCommandLine = kPath | kCommandLine;

constexpr RecordInfo kRecords[] = {
    {1, "CFG_RUNTIME_DIR", K::Expanded, 260, kPathOnCommandLine},
    {2, "CFG_MIN_VERSION", K::Text, 128},
    {3, "CFG_MAX_VERSION", K::Text, 128},
    {4, "CFG_SPLASH", K::Boolean, 20},
    {5, "CFG_SPLASH_UNTIL_WINDOW", K::Boolean, 20},
    {6, "CFG_SPLASH_TIMEOUT", K::Integer, 10},
    {7, "CFG_SPLASH_TIMEOUT_ERROR", K::Boolean, 20},
    {8, "CFG_WORK_DIR", K::Text, 260, kPath},
    {9, "CFG_PRIVATE_LAUNCHER", K::Boolean, 20},
    {10, "CFG_ERROR_TITLE", K::Text, 128, kShown},
    {11, "CFG_WAIT", K::Boolean, 20},
    {12, "CFG_JVM_OPTIONS", K::Expanded, 32768, kCommandLine},
    {13, "CFG_APP_ARGS", K::Text, 32768, kCommandLine},
    {14, "CFG_JAR", K::Text, 260, kPathOnCommandLine | kQuoted},
    {15, "CFG_MAIN_CLASS", K::Text, 128, kCommandLine},
    {16, "CFG_CLASSPATH", K::Expanded, 32768, kPathOnCommandLine | kQuoted},
    {17, "CFG_JAR_IN_EXE", K::Boolean, 20},
    {18, "CFG_SEARCH_ORDER", K::Integer, 20},
    {19, "CFG_ENV_VARS", K::EnvVars, 32767, kRepeated},
    {20, "CFG_PRIORITY", K::Integer, 20},
    {21, "CFG_DOWNLOAD_URL", K::Text, 256},
    {22, "CFG_HELP_URL", K::Text, 256},
    {23, "CFG_MUTEX", K::Text, 128},
    {24, "CFG_INSTANCE_TITLE", K::Text, 128, kShown},
    {25, "CFG_INITIAL_HEAP_MB", K::Integer, 20},
    {26, "CFG_INITIAL_HEAP_PERCENT", K::Integer, 20},
    {27, "CFG_MAX_HEAP_MB", K::Integer, 20},
    {29, "CFG_PREFERRED_HEAP_MB", K::Integer, 20},
    {30, "CFG_MIN_HEAP_MB", K::Integer, 20},
    {31, "CFG_RUNTIME_SOURCES", K::Text, 260},
    {32, "CFG_MODULE", K::Text, 260, kCommandLine},
    {33, "CFG_MODULE_PATH", K::Expanded, 32768, kPathOnCommandLine | kQuoted},
    {34, "CFG_REQUIREMENTS_URL", K::Text, 256, kShown},
    {35, "CFG_SUPPORT_CONTACT", K::Text, 256, kShown},
    {39, "CFG_RESTART_EXIT_CODE", K::Integer, 20},
    {101, "MSG_STARTUP_ERROR", K::Text, 1024, kShown},
    {102, "MSG_RUNTIME_DIR_ERROR", K::Text, 1024, kShown},
    {103, "MSG_RUNTIME_VERSION_ERROR", K::Text, 1024, kShown},
    {104, "MSG_LAUNCHER_ERROR", K::Text, 1024, kShown},
};

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
