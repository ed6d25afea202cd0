#include "runtime/runtime_env.h"

#include "config/config_records.h"
#include "config/var_expansion.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "runtime/private_launcher.h"
#include "runtime/runtime_search.h"

namespace {

// Environment values hold at most 32767 units with their terminator.
const DWORD ENVIRONMENT_CAPACITY = 32767;
wchar_t pathValue[ENVIRONMENT_CAPACITY];
wchar_t variablesText[ENVIRONMENT_CAPACITY];
wchar_t variableName[ENVIRONMENT_CAPACITY];
wchar_t expandedValue[LONG_TEXT_CAPACITY];

// The environment block at the launcher's start, for restarts.
const wchar_t* savedEnvironment;

bool sameVariableName(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    return CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) == CSTR_EQUAL;
}

// Copies an entry's name so that it can be handed to the system; false when
// it is too long to be a variable's name at all.
bool takeVariableName(const EnvironmentEntry& entry) {
    return entry.nameLength > 0 && copyTextN(variableName, ENVIRONMENT_CAPACITY, entry.name, entry.nameLength);
}

bool setPlainLauncher() {
    if (appendLauncherName(runtimeHome)) return true;
    explainFailure("The path of the Java runtime's launcher would be longer than 259 characters.");
    return false;
}

} // namespace

int prepareRuntimeEnvironment(const wchar_t* exePath, size_t exeDirLen) {
    wchar_t binDir[PATH_CAPACITY];
    if (!copyText(binDir, PATH_CAPACITY, runtimeHome) || !appendTo(binDir, PATH_CAPACITY, L"\\bin")) {
        explainFailure("The Java runtime's bin folder has a path longer than 259 characters.");
        return 0;
    }
    if (!appendToPath(binDir)) return 0;
    if (!applyConfiguredVariables(exePath, exeDirLen)) return 0;

    int configuredPriority = loadConfigInt<CFG_PRIORITY>();
    priorityClass = priorityClassFlags(configuredPriority);
    if (priorityClass != static_cast<DWORD>(configuredPriority)) {
        logLine("Priority:\t%d is not one priority class; %d is used\n", configuredPriority,
                static_cast<int>(priorityClass));
    }
    bool usePrivate = loadConfigBool<CFG_PRIVATE_LAUNCHER>() && !launcherSwitches.defaultProgram;
    jarInExe = loadConfigBool<CFG_JAR_IN_EXE>();
    if (configFaulted()) return 0;
    return preparePrivateLauncher(usePrivate, exePath, exeDirLen) ? 1 : 0;
}

int appendToPath(const wchar_t* dir) {
    clearText(pathValue, ENVIRONMENT_CAPACITY);
    DWORD length = GetEnvironmentVariableW(L"Path", pathValue, ENVIRONMENT_CAPACITY);
    size_t dirLength = textLength(dir);
    // A length of the capacity or more is the size a longer value would need.
    if (length >= ENVIRONMENT_CAPACITY || length + 1 + dirLength > ENVIRONMENT_CAPACITY - 1) {
        explainFailure("The Path environment variable is too long to add the Java runtime's bin folder "
                       "(more than 32766 characters).");
        return 0;
    }
    TextBuffer path = textBufferOver(pathValue, ENVIRONMENT_CAPACITY);
    appendChar(path, L';');
    appendText(path, dir);
    if (SetEnvironmentVariableW(L"Path", pathValue)) return 1;
    noteFailedCall();
    return 0;
}

DWORD priorityClassFlags(int configured) {
    const DWORD PRIORITY_CLASSES = IDLE_PRIORITY_CLASS | BELOW_NORMAL_PRIORITY_CLASS | NORMAL_PRIORITY_CLASS |
                                   ABOVE_NORMAL_PRIORITY_CLASS | HIGH_PRIORITY_CLASS | REALTIME_PRIORITY_CLASS;
    // Other creation flags would change how the child starts: 4 leaves it
    // suspended and 1 or 2 make it wait for a debugger, and the launcher would
    // wait for it forever.
    DWORD classes = static_cast<DWORD>(configured) & PRIORITY_CLASSES;
    bool exactlyOne = classes != 0 && (classes & (classes - 1)) == 0;
    return exactlyOne ? classes : 0;
}

bool nextVariableItem(const wchar_t** cursor, const wchar_t** item, size_t* itemLength) {
    const wchar_t* p = *cursor;
    while (*p == L'\t') ++p;
    if (*p == 0) {
        *cursor = p;
        return false;
    }
    const wchar_t* start = p;
    while (*p != 0 && *p != L'\t') ++p;
    *item = start;
    *itemLength = static_cast<size_t>(p - start);
    *cursor = p;
    return true;
}

bool splitVariableItem(const wchar_t* item, size_t itemLength, VariableItem* parts) {
    for (size_t i = 0; i < itemLength; ++i) {
        if (item[i] != L'=') continue;
        parts->name = item;
        parts->nameLength = i;
        parts->rawValue = item + i + 1;
        parts->rawValueLength = itemLength - i - 1;
        return true;
    }
    return false;
}

int applyConfiguredVariables(const wchar_t* exePath, size_t exeDirLen) {
    clearText(variablesText, ENVIRONMENT_CAPACITY);
    if (!loadConfigString<CFG_ENV_VARS>(variablesText)) return configFaulted() ? 0 : 1;

    const wchar_t* cursor = variablesText;
    const wchar_t* item = nullptr;
    size_t itemLength = 0;
    while (nextVariableItem(&cursor, &item, &itemLength)) {
        VariableItem parts;
        // The item is terminated in place (its tab becomes the end) so that the
        // name and value can be handed on as texts.
        wchar_t* end = const_cast<wchar_t*>(item) + itemLength;
        bool more = *end != 0;
        *end = 0;
        if (!splitVariableItem(item, itemLength, &parts)) {
            logLine("Skip var:\t%s\n", item);
        } else {
            copyTextN(variableName, ENVIRONMENT_CAPACITY, parts.name, parts.nameLength);
            TextBuffer value = emptyTextBuffer(expandedValue, LONG_TEXT_CAPACITY);
            expandVars(value, parts.rawValue, exePath, exeDirLen);
            // The environment holds at most 32766 characters per value; a cut
            // value would hand the application a wrong setting.
            if (value.overflowed || value.length > ENVIRONMENT_CAPACITY - 1) {
                explainFailureAbout("The configured value of the environment variable ", variableName,
                                    " is longer than 32766 characters once expanded.");
                return 0;
            }
            logLine("Set var:\t%s = %s\n", variableName, expandedValue);
            SetEnvironmentVariableW(variableName, expandedValue);
        }
        if (more) ++cursor;
    }
    return 1;
}

bool preparePrivateLauncher(bool usePrivate, const wchar_t* exePath, size_t exeDirLen) {
    releasePrivateLauncher();
    if (!usePrivate) return setPlainLauncher();
    // A runtime found installed belongs to another product: nothing is written
    // into its folders.
    if (!bundledRuntime) {
        logLine("No private copy:\tthe runtime is not the one CFG_RUNTIME_DIR names\n");
        return setPlainLauncher();
    }

    bool usePrivateCopy = installPrivateLauncher(exePath, exeDirLen);
    if (!usePrivateCopy) return setPlainLauncher();
    return true;
}

bool nextEnvironmentEntry(const wchar_t** cursor, EnvironmentEntry* entry) {
    const wchar_t* at = *cursor;
    if (*at == 0) return false;
    // The name may begin with "=" (the per-drive folders, "=C:=C:\x"); the
    // separator is the first "=" after it.
    const wchar_t* end = at + 1;
    while (*end != 0 && *end != L'=') ++end;
    entry->name = at;
    entry->nameLength = static_cast<size_t>(end - at);
    entry->value = *end == L'=' ? end + 1 : end;
    while (*end != 0) ++end;
    *cursor = end + 1;
    return true;
}

const wchar_t* findEnvironmentValue(const wchar_t* block, const wchar_t* name, size_t length) {
    EnvironmentEntry entry;
    while (nextEnvironmentEntry(&block, &entry)) {
        if (sameVariableName(entry.name, entry.nameLength, name, length)) return entry.value;
    }
    return nullptr;
}

bool saveEnvironment() {
    savedEnvironment = GetEnvironmentStringsW();
    return savedEnvironment != nullptr;
}

bool restoreEnvironment() {
    if (savedEnvironment == nullptr) return false;
    wchar_t* present = GetEnvironmentStringsW();
    if (present == nullptr) return false;
    // The system's copy of the block, so changing variables while reading it is safe.
    const wchar_t* cursor = present;
    EnvironmentEntry entry;
    while (nextEnvironmentEntry(&cursor, &entry)) {
        if (entry.name[0] == L'=') continue;
        if (findEnvironmentValue(savedEnvironment, entry.name, entry.nameLength) != nullptr) continue;
        if (takeVariableName(entry)) SetEnvironmentVariableW(variableName, nullptr);
    }
    FreeEnvironmentStringsW(present);
    cursor = savedEnvironment;
    while (nextEnvironmentEntry(&cursor, &entry)) {
        if (entry.name[0] != L'=' && takeVariableName(entry)) SetEnvironmentVariableW(variableName, entry.value);
    }
    return true;
}
