#include "runtime/runtime_search.h"

#include <wctype.h>

#include "config/config_records.h"
#include "config/registry_text.h"
#include "config/var_expansion.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "runtime/runtime_machine.h"
#include "runtime/runtime_program.h"
#include "runtime/runtime_sources.h"

namespace {

const wchar_t* const LAUNCHER_NAME = QD_RUNTIME_PROGRAM_IN_BIN;

const RuntimeFamilyKey JAVASOFT_KEYS[2] = {
    {L"SOFTWARE\\JavaSoft\\Java Runtime Environment", FAMILY_RUNTIME},
    {L"SOFTWARE\\JavaSoft\\Java Development Kit", FAMILY_DEVELOPMENT_KIT},
};
const RuntimeFamilyKey IBM_KEYS[2] = {
    {L"SOFTWARE\\IBM\\Java2 Runtime Environment", FAMILY_RUNTIME},
    {L"SOFTWARE\\IBM\\Java Development Kit", FAMILY_DEVELOPMENT_KIT},
};

// The configured runtime directory after expansion.
wchar_t expandedRuntimeDir[LONG_TEXT_CAPACITY];

// Why the last launcher check found no launcher program: the failed probe's
// error code, 0 when it found a folder or had no path to test.
DWORD launcherProbeError;
// The machine the last launcher check's program is built for, read through
// the same open; MACHINE_UNKNOWN when its header could not be read.
WORD launcherProbeMachine;

// Without CFG_SEARCH_ORDER the runtime sources search runtimes, then
// development kits: most of today's vendors register development kits only.
const int SOURCES_SEARCH_ORDER = 1;

// The subkey names of one family key; registry key names are far shorter.
const DWORD SUBKEY_NAME_CAPACITY = 1024;

// Skips the run of letters and digits at `position` and the one character
// after it; nullptr when the text ends within the run.
const wchar_t* advanceVersion(const wchar_t* position) {
    while (*position != 0 && iswalnum(*position)) ++position;
    if (*position == 0) return nullptr;
    return position + 1;
}

int compareLeadingIntegers(const wchar_t* a, const wchar_t* b) {
    int x = parseConfigInt(a);
    int y = parseConfigInt(b);
    if (x == y) return 0;
    return x < y ? -1 : 1;
}

// Whether runtimeHome, with the launcher's name appended, stays within a path.
bool launcherPathFits() {
    wchar_t candidate[PATH_CAPACITY];
    copyText(candidate, PATH_CAPACITY, runtimeHome);
    return appendLauncherName(candidate);
}

// The report shows the version requirement alone: no system call's failure
// is the reason (a registry key that cannot be opened is no suitable runtime).
int failNoSuitableRuntime() {
    clearFailureCode();
    loadConfigString<MSG_RUNTIME_VERSION_ERROR>(messageText);
    appendToMessage(" ");
    appendToMessage(minVersion);
    if (maxVersion[0] != 0) {
        appendToMessage(" - ");
        appendToMessage(maxVersion);
    }
    loadConfigString<CFG_DOWNLOAD_URL>(helpUrl);
    return 0;
}

// A home directory whose launcher path would not fit is refused rather than
// cut: a cut path could name another program.
int refuseLongConfiguredRuntime() {
    clearText(runtimeHome, PATH_CAPACITY);
    explainFailure("The configured Java runtime folder, expanded and joined to the application's folder, "
                   "gives a launcher path longer than 259 characters.");
    return 0;
}

int refuseLongRegisteredRuntime() {
    clearText(runtimeHome, PATH_CAPACITY);
    explainFailureAbout("The Java runtime registered under HKEY_LOCAL_MACHINE\\", foundRuntimeKey,
                        " is in a folder whose launcher path is longer than 259 characters.");
    return 0;
}

// Without a message of the vendor's own for it, the report of a missing
// bundled runtime names the folder looked in, after the start-up message.
void nameMissingRuntime() {
    if (runtimeHome[0] == 0) return;
    explainFailureAbout("The Java runtime was not found in the folder ", runtimeHome,
                        " (" QD_RUNTIME_PROGRAM_IN_BIN_NAME " is missing).");
}

// First stage: CFG_RUNTIME_DIR, relative to the executable's directory unless
// it starts with a backslash or a drive letter and colon. 0 only when the
// launch must be refused; otherwise runtimeHome holds the configured home (or
// is empty when none is configured).
int composeConfiguredRuntime(const wchar_t* exePath, size_t exeDirLen) {
    wchar_t configured[PATH_CAPACITY] = {};
    if (!loadConfigString<CFG_RUNTIME_DIR>(configured)) return configFaulted() ? 0 : 1;
    TextBuffer expanded = emptyTextBuffer(expandedRuntimeDir, LONG_TEXT_CAPACITY);
    expandVars(expanded, configured, exePath, exeDirLen);
    logLine("Bundled JRE:\t%s\n", expandedRuntimeDir);
    if (expanded.overflowed) return refuseLongConfiguredRuntime();

    TextBuffer home = emptyTextBuffer(runtimeHome, PATH_CAPACITY);
    bool absolute = expandedRuntimeDir[0] == L'\\' || (expandedRuntimeDir[0] != 0 && expandedRuntimeDir[1] == L':');
    if (!absolute) {
        appendTextN(home, exePath, exeDirLen);
        if (!textEndsWith(home, L'\\')) appendChar(home, L'\\');
    }
    appendText(home, expandedRuntimeDir);
    if (home.overflowed || !launcherPathFits()) return refuseLongConfiguredRuntime();
    return 1;
}

// The bundled runtime and the registry's best version are the only runtime
// of their stage: one built for a machine the launcher must not start is
// refused with a report rather than started. A header that cannot be read is
// left to the start, which reports what the system finds wrong.
int acceptLauncherMachine(const RuntimeMachines& machines) {
    const wchar_t* reason = nullptr;
    if (launcherProbeMachine == MACHINE_UNKNOWN ||
        rankRuntimeMachine(launcherProbeMachine, machines, &reason) != MACHINE_REFUSED) {
        return 1;
    }
    logLine("Runtime refused:\t%s: %s\n", runtimeHome, reason);
    wchar_t text[MESSAGE_CAPACITY];
    TextBuffer b = emptyTextBuffer(text, MESSAGE_CAPACITY);
    appendText(b, "The Java runtime in ");
    appendText(b, runtimeHome);
    appendText(b, " cannot be used: ");
    appendText(b, reason);
    appendText(b, ".");
    explainFailure(text);
    return 0;
}

// Second stage, after the search found a version: its JavaHome, plus "jre" for
// a development kit.
int useRegisteredRuntime(const RuntimeMachines& machines) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, foundRuntimeKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return failNoSuitableRuntime();
    }
    wchar_t stored[REGISTRY_TEXT_CAPACITY];
    wchar_t javaHome[REGISTRY_TEXT_CAPACITY];
    DWORD type = REG_SZ;
    bool readable = queryRegistryText(key, L"JavaHome", stored, &type) &&
                    expandRegistryText(stored, type, javaHome, REGISTRY_TEXT_CAPACITY);
    RegCloseKey(key);
    // An empty home would make the launcher path relative to whatever the
    // current directory is: count it as unreadable.
    if (!readable || javaHome[0] == 0) return failNoSuitableRuntime();

    TextBuffer home = emptyTextBuffer(runtimeHome, PATH_CAPACITY);
    appendText(home, javaHome);
    if (foundRuntime == FAMILY_DEVELOPMENT_KIT) {
        if (!textEndsWith(home, L'\\')) appendChar(home, L'\\');
        appendText(home, "jre");
    }
    if (home.overflowed || !launcherPathFits()) return refuseLongRegisteredRuntime();

    if (checkLauncher()) return acceptLauncherMachine(machines);
    // The best version is broken: say so rather than start an older one. The
    // failed probe's code (a folder or file that is not there) goes with it.
    failureCode = launcherProbeError;
    loadConfigString<MSG_LAUNCHER_ERROR>(messageText);
    return 0;
}

} // namespace

bool appendLauncherName(wchar_t* path) {
    wchar_t composed[PATH_CAPACITY];
    TextBuffer b = emptyTextBuffer(composed, PATH_CAPACITY);
    appendText(b, path);
    if (!textEndsWith(b, L'\\')) appendChar(b, L'\\');
    appendText(b, LAUNCHER_NAME);
    if (b.overflowed) return false;
    copyText(path, PATH_CAPACITY, composed);
    return true;
}

bool checkLauncher() {
    wchar_t candidate[PATH_CAPACITY] = {};
    bool found = false;
    launcherProbeError = 0;
    launcherProbeMachine = MACHINE_UNKNOWN;
    if (runtimeHome[0] != 0) {
        copyText(candidate, PATH_CAPACITY, runtimeHome);
        if (appendLauncherName(candidate)) {
            found = probeRuntimeProgram(candidate, &launcherProbeMachine, &launcherProbeError);
        }
    }
    logLine("Check launcher:\t%s %s\n", candidate, found ? L"(OK)" : L"(n/a)");
    return found;
}

namespace {

// With CFG_RUNTIME_SOURCES: today's installations in the listed sources, the
// bounds read as Java versions, and a report that says what was searched.
int locateListedRuntime(const RuntimeSourceList& sources, int searchOrder, const RuntimeMachines& machines) {
    VersionBounds bounds;
    if (!readVersionBounds(&bounds)) return 0;
    if (searchRuntimeSources(sources, searchOrder, bounds, machines)) return 1;
    failNoSuitableRuntime();
    appendSearchedSources(sources);
    return 0;
}

} // namespace

int locateRuntime(const wchar_t* exePath, size_t exeDirLen) {
    RuntimeMachines machines;
    if (!loadRuntimeMachines(&machines)) return 0;
    if (!composeConfiguredRuntime(exePath, exeDirLen)) return 0;
    if (checkLauncher()) {
        bundledRuntime = TRUE;
        return acceptLauncherMachine(machines);
    }
    RuntimeSourceList sources = {};
    SourcesRecord listed = loadRuntimeSources(&sources);
    if (listed == SOURCES_REFUSED) return 0;
    if (listed == SOURCES_LISTED) noteBundledRuntimeWithoutProgram();

    if (!loadConfigString<CFG_MIN_VERSION>(minVersion)) {
        if (configFaulted()) return 0;
        if (listed == SOURCES_LISTED) logLine("Runtime sources:\tnot searched without CFG_MIN_VERSION\n");
        // The message says what is missing; the probe's "not found" adds nothing.
        clearFailureCode();
        if (!loadConfigString<MSG_RUNTIME_DIR_ERROR>(messageText) && !configFaulted()) {
            nameMissingRuntime();
        }
        return 0;
    }
    loadConfigString<CFG_MAX_VERSION>(maxVersion);
    int searchOrder = loadConfigInt<CFG_SEARCH_ORDER>();
    if (configFaulted()) return 0;
    if (listed == SOURCES_LISTED) {
        const wchar_t* orderText = nullptr;
        size_t orderLength = 0;
        if (findConfigRecord(CFG_SEARCH_ORDER, &orderText, &orderLength) == RECORD_ABSENT) {
            searchOrder = SOURCES_SEARCH_ORDER;
        }
        return locateListedRuntime(sources, searchOrder, machines);
    }

    searchInstalledRuntimes(searchOrder);
    if (foundRuntime == FAMILY_NONE) return failNoSuitableRuntime();
    return useRegisteredRuntime(machines);
}

void searchInstalledRuntimes(int searchOrder) {
    RuntimeFamilyKey searched[2];
    size_t count = familySearchOrder(searchOrder, JAVASOFT_KEYS, searched);
    for (size_t i = 0; i < count; ++i) searchRuntimeFamily(searched[i].keyPath, searched[i].family);
    // Any JavaSoft match settles it: the IBM keys are a fall-back only.
    if (foundRuntime != FAMILY_NONE) return;
    count = familySearchOrder(searchOrder, IBM_KEYS, searched);
    for (size_t i = 0; i < count; ++i) searchRuntimeFamily(searched[i].keyPath, searched[i].family);
}

void searchRuntimeFamily(const wchar_t* keyPath, DWORD family) {
    logLine("64-bit search on a 64-bit executable:\t%s...\n", keyPath);
    // No view flag: a 64-bit launcher sees the 64-bit view, where a runtime it
    // can start is registered.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    scanVersionKeys(key, keyPath, family);
    RegCloseKey(key);
}

void scanVersionKeys(HKEY key, const wchar_t* keyPath, DWORD family) {
    wchar_t name[SUBKEY_NAME_CAPACITY];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = SUBKEY_NAME_CAPACITY;
        if (RegEnumKeyExW(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;

        wchar_t subkeyPath[PATH_CAPACITY];
        TextBuffer path = emptyTextBuffer(subkeyPath, PATH_CAPACITY);
        appendText(path, keyPath);
        if (!textEndsWith(path, L'\\')) appendChar(path, L'\\');
        appendText(path, name);
        // A name or key path too long to keep whole is passed over, never cut.
        bool better = !path.overflowed && isBetterRuntimeVersion(name, minVersion, maxVersion, foundVersion);
        if (!better) {
            logLine("Ignore:\t\t%s\\%s\n", keyPath, name);
            continue;
        }
        copyText(foundVersion, NAME_CAPACITY, name);
        copyText(foundRuntimeKey, PATH_CAPACITY, subkeyPath);
        foundRuntime = family;
        logLine("Match:\t\t%s\\%s\n", keyPath, name);
    }
}

bool isBetterRuntimeVersion(const wchar_t* name, const wchar_t* lowerBound, const wchar_t* upperBound,
                            const wchar_t* best) {
    if (textLengthBounded(name, VERSION_NAME_MAX + 1) > VERSION_NAME_MAX) return false;
    if (lowerBound[0] != 0 && (name[0] == 0 || compareVersions(name, lowerBound) < 0)) return false;
    if (upperBound[0] != 0 && name[0] != 0 && compareVersions(name, upperBound) > 0) return false;
    if (best[0] == 0) return name[0] != 0;
    return compareVersions(name, best) > 0;
}

int compareVersions(const wchar_t* a, const wchar_t* b) {
    int leading = compareLeadingIntegers(a, b);
    if (leading != 0) return leading;
    return compareVersionTails(advanceVersion(a), advanceVersion(b));
}

int compareVersionTails(const wchar_t* a, const wchar_t* b) {
    for (;;) {
        if (a == nullptr) return b == nullptr ? 0 : -1;
        if (b == nullptr) return 1;
        // A text that ended with a separator: nothing more to compare there.
        if (*a == 0) return *b == 0 ? 0 : -1;
        if (*b == 0) return 1;
        int leading = compareLeadingIntegers(a, b);
        if (leading != 0) return leading;
        b = advanceVersion(b);
        a = advanceVersion(a);
    }
}
