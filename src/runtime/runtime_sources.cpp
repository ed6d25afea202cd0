#include "runtime/runtime_sources.h"

#include <windows.h>

#include "config/config_records.h"
#include "config/registry_text.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "runtime/runtime_candidates.h"
#include "runtime/runtime_program.h"
#include "runtime/word_list.h"

namespace {

const wchar_t* const SOURCE_WORDS[RUNTIME_SOURCE_KINDS] = {L"registry", L"java_home", L"path", L"folders"};

bool refuseBound(const wchar_t* recordName, const wchar_t* bound) {
    wchar_t text[MESSAGE_CAPACITY];
    TextBuffer b = emptyTextBuffer(text, MESSAGE_CAPACITY);
    appendText(b, "The launcher's configuration is damaged: ");
    appendText(b, recordName);
    appendText(b, " \"");
    appendText(b, bound);
    appendText(b, "\" is not a Java version.");
    explainFailure(text);
    return false;
}

// ---- registry ----------------------------------------------------------

// How a vendor's key below SOFTWARE holds its runtimes: the value naming the
// home lies in <family key>\<version>, or in <family key>\<version>\<vm>\MSI
// for the installers that record the virtual machine (hotspot, openj9, ...).
// Where one key holds both kinds (an empty family key: the vendor's key
// itself), the subkey's name says which one it is ("zulu-17-jre", "jdk-21").
struct RegistryLayout {
    const wchar_t* vendorKey;
    const wchar_t* runtimeKey;        // nullptr: the vendor has none
    const wchar_t* developmentKitKey;
    const wchar_t* valueName;
    bool vmSubkeys;
    bool kindInName;
};

const RegistryLayout REGISTRY_LAYOUTS[] = {
    {L"JavaSoft", L"JRE", L"JDK", L"JavaHome", false, false},
    {L"JavaSoft", L"Java Runtime Environment", L"Java Development Kit", L"JavaHome", false, false},
    {L"Eclipse Adoptium", L"JRE", L"JDK", L"Path", true, false},
    {L"Eclipse Foundation", L"JRE", L"JDK", L"Path", true, false},
    {L"AdoptOpenJDK", L"JRE", L"JDK", L"Path", true, false},
    {L"Semeru", L"JRE", L"JDK", L"Path", true, false},
    {L"Microsoft", L"JRE", L"JDK", L"Path", true, false},
    {L"Azul Systems\\Zulu", L"", L"", L"InstallationPath", false, true},
    {L"BellSoft\\Liberica", L"", L"", L"InstallationPath", false, true},
    {L"SapMachine", nullptr, L"JDK", L"JavaHome", false, false},
    {L"IBM", L"Java2 Runtime Environment", L"Java Development Kit", L"JavaHome", false, false},
};

struct Hive {
    HKEY root;
    const wchar_t* name;
};
// Machine-wide installs first, then per-user ones.
const Hive HIVES[] = {{HKEY_LOCAL_MACHINE, L"HKLM"}, {HKEY_CURRENT_USER, L"HKCU"}};

// Registry key names have at most 255 characters.
const DWORD KEY_NAME_CAPACITY = 256;
// What the log names for a key: the hive, the key path and up to three names.
const size_t ORIGIN_CAPACITY = 1024;
wchar_t originText[ORIGIN_CAPACITY];

HKEY openKey(HKEY parent, const wchar_t* path) {
    // The 64-bit view, also for HKCU: runtimes this 64-bit launcher can start
    // are registered there.
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

bool nextSubkey(HKEY key, DWORD index, wchar_t (&name)[KEY_NAME_CAPACITY]) {
    DWORD size = KEY_NAME_CAPACITY;
    return RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool nameSaysRuntime(const wchar_t* name) {
    for (; *name != 0; ++name) {
        if (sameWord(name, 3, L"jre")) return true;
    }
    return false;
}

// Reads the home that `valueName` of `key` names and offers it.
void offerRegisteredHome(HKEY key, const wchar_t* origin, const wchar_t* valueName, const wchar_t* versionName) {
    wchar_t stored[REGISTRY_TEXT_CAPACITY];
    DWORD type = REG_SZ;
    if (!queryRegistryText(key, valueName, stored, &type)) {
        wchar_t reason[64];
        TextBuffer b = emptyTextBuffer(reason, 64);
        appendText(b, "no readable ");
        appendText(b, valueName);
        appendText(b, " value");
        return ignoreCandidate(origin, reason);
    }
    const wchar_t* subject = candidateSubject(origin, stored);
    if (type != REG_EXPAND_SZ) return considerCandidate(subject, stored, versionName);
    wchar_t expanded[PATH_CAPACITY];
    if (!expandRegistryText(stored, type, expanded, PATH_CAPACITY)) {
        return ignoreCandidate(subject, L"the path is longer than 259 characters once expanded");
    }
    considerCandidate(subject, expanded, versionName);
}

// <version>\<vm>\MSI for every virtual machine recorded under a version key.
void offerVmHomes(HKEY version, TextBuffer& origin, const wchar_t* valueName, const wchar_t* versionName) {
    size_t versionLength = origin.length;
    wchar_t vm[KEY_NAME_CAPACITY];
    for (DWORD index = 0; nextSubkey(version, index, vm); ++index) {
        truncateText(origin, versionLength);
        appendText(origin, "\\");
        appendText(origin, vm);
        appendText(origin, "\\MSI");
        HKEY vmKey = openKey(version, vm);
        HKEY msi = vmKey == nullptr ? nullptr : openKey(vmKey, L"MSI");
        if (msi == nullptr) {
            ignoreCandidate(origin.chars, L"no readable MSI key");
        } else {
            offerRegisteredHome(msi, origin.chars, valueName, versionName);
            RegCloseKey(msi);
        }
        if (vmKey != nullptr) RegCloseKey(vmKey);
    }
}

void scanRegistryKey(const Hive& hive, HKEY vendor, const RegistryLayout& layout, const RuntimeFamilyKey& family) {
    HKEY key = openKey(vendor, family.keyPath);
    if (key == nullptr) return;
    wchar_t name[KEY_NAME_CAPACITY];
    for (DWORD index = 0; nextSubkey(key, index, name); ++index) {
        if (layout.kindInName && nameSaysRuntime(name) != (family.family == FAMILY_RUNTIME)) continue;
        TextBuffer origin = emptyTextBuffer(originText, ORIGIN_CAPACITY);
        appendText(origin, hive.name);
        appendText(origin, "\\SOFTWARE\\");
        appendText(origin, layout.vendorKey);
        if (family.keyPath[0] != 0) appendChar(origin, L'\\');
        appendText(origin, family.keyPath);
        appendChar(origin, L'\\');
        appendText(origin, name);
        HKEY version = openKey(key, name);
        if (version == nullptr) continue;
        if (layout.vmSubkeys) {
            offerVmHomes(version, origin, layout.valueName, name);
        } else {
            offerRegisteredHome(version, originText, layout.valueName, name);
        }
        RegCloseKey(version);
    }
    RegCloseKey(key);
}

bool familyHoldsEntries(HKEY vendor, const RegistryLayout& layout, const RuntimeFamilyKey& family) {
    HKEY key = openKey(vendor, family.keyPath);
    if (key == nullptr) return false;
    wchar_t name[KEY_NAME_CAPACITY];
    bool holds = false;
    for (DWORD index = 0; !holds && nextSubkey(key, index, name); ++index) {
        holds = !layout.kindInName || nameSaysRuntime(name) == (family.family == FAMILY_RUNTIME);
    }
    RegCloseKey(key);
    return holds;
}

// With the debug log open, a family of keys that the search order leaves out
// is named when it holds entries (once per vendor): a vendor that registers
// only development kits is otherwise missing from the log without a word.
// Returns whether it was named.
bool noteSkippedFamily(const Hive& hive, HKEY vendor, const RegistryLayout& layout, const RuntimeFamilyKey& skipped,
                       int searchOrder) {
    if (logFile == nullptr || skipped.keyPath == nullptr || !familyHoldsEntries(vendor, layout, skipped)) return false;
    logLine("Runtime keys skipped:\t%s\\SOFTWARE\\%s holds %s, which CFG_SEARCH_ORDER %d leaves out\n", hive.name,
            layout.vendorKey, skipped.family == FAMILY_RUNTIME ? L"runtimes (JRE)" : L"development kits (JDK)",
            searchOrder);
    return true;
}

void searchRegistry(int searchOrder) {
    for (const Hive& hive : HIVES) {
        HKEY software = openKey(hive.root, L"SOFTWARE");
        if (software == nullptr) continue;
        const wchar_t* notedVendor = L"";
        for (const RegistryLayout& layout : REGISTRY_LAYOUTS) {
            // Most vendors are absent: one open tells.
            HKEY vendor = openKey(software, layout.vendorKey);
            if (vendor == nullptr) continue;
            const RuntimeFamilyKey pair[2] = {{layout.runtimeKey, FAMILY_RUNTIME},
                                              {layout.developmentKitKey, FAMILY_DEVELOPMENT_KIT}};
            RuntimeFamilyKey searched[2];
            size_t count = familySearchOrder(searchOrder, pair, searched);
            for (size_t i = 0; i < count; ++i) {
                if (searched[i].keyPath != nullptr) scanRegistryKey(hive, vendor, layout, searched[i]);
            }
            const RuntimeFamilyKey& left = pair[searched[0].family == FAMILY_RUNTIME ? 1 : 0];
            if (count == 1 && !textEquals(notedVendor, layout.vendorKey) &&
                noteSkippedFamily(hive, vendor, layout, left, searchOrder)) {
                notedVendor = layout.vendorKey;
            }
            RegCloseKey(vendor);
        }
        RegCloseKey(software);
    }
}

// ---- JAVA_HOME -----------------------------------------------------------

void searchJavaHome() {
    wchar_t value[PATH_CAPACITY];
    DWORD length = GetEnvironmentVariableW(L"JAVA_HOME", value, PATH_CAPACITY);
    if (length == 0) return ignoreCandidate(L"JAVA_HOME", L"not set");
    if (length >= PATH_CAPACITY) return ignoreCandidate(L"JAVA_HOME", L"longer than 259 characters");
    considerCandidate(candidateSubject(L"JAVA_HOME", value), value, nullptr);
}

// ---- Path ------------------------------------------------------------------

wchar_t pathList[LONG_TEXT_CAPACITY - 1];

// Folders that hold a runtime program without being a runtime: the system's
// own, and the "javapath" folders whose programs only forward to whatever
// runtime the JavaSoft keys name.
struct SystemFolders {
    wchar_t system[PATH_CAPACITY];
    wchar_t windows[PATH_CAPACITY];
    wchar_t wow64[PATH_CAPACITY];
};

const wchar_t* forwardingFolderReason(const wchar_t* folder, const SystemFolders& system) {
    const wchar_t* name = lastFolderName(folder);
    if (sameWord(name, 8, L"javapath")) return L"a stub folder whose programs only forward to a registered runtime";
    if (sameName(folder, system.system) || sameName(folder, system.windows) || sameName(folder, system.wow64)) {
        return L"a system folder";
    }
    if (!sameName(name, L"bin")) return L"not the bin folder of a runtime";
    return nullptr;
}

// A folder on a network share (\\server\share\... or \\?\UNC\...), not a
// local path in the \\?\ or \\.\ form.
bool isOnNetworkShare(const wchar_t* path) {
    if (path[0] != L'\\' || path[1] != L'\\') return false;
    bool prefixed = (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\';
    return !prefixed || sameWord(path + 4, 4, L"unc\\");
}

void offerPathEntry(const wchar_t* start, size_t length, const SystemFolders& system) {
    wchar_t folder[PATH_CAPACITY];
    if (!copyTextN(folder, PATH_CAPACITY, start, length)) return;
    wchar_t program[PATH_CAPACITY];
    TextBuffer b = emptyTextBuffer(program, PATH_CAPACITY);
    appendText(b, folder);
    appendText(b, L"\\" QD_RUNTIME_PROGRAM);
    if (b.overflowed || !isExistingFile(program)) return;

    const wchar_t* subject = candidateSubject(L"Path", folder);
    const wchar_t* reason = forwardingFolderReason(folder, system);
    if (reason != nullptr) return ignoreCandidate(subject, reason);
    // The runtime's home is the folder that holds this bin folder.
    size_t binStart = static_cast<size_t>(lastFolderName(folder) - folder);
    folder[binStart > 0 ? binStart - 1 : 0] = 0;
    considerCandidate(subject, folder, nullptr);
}

// Folders on network shares come last, and only when no other folder holds
// an acceptable runtime: a share that cannot be reached can keep an open
// waiting for many seconds.
void searchPathFolders() {
    DWORD length = GetEnvironmentVariableW(L"Path", pathList, LONG_TEXT_CAPACITY - 1);
    if (length == 0 || length >= LONG_TEXT_CAPACITY - 1) return;
    SystemFolders system = {};
    GetSystemDirectoryW(system.system, PATH_CAPACITY);
    GetWindowsDirectoryW(system.windows, PATH_CAPACITY);
    GetSystemWow64DirectoryW(system.wow64, PATH_CAPACITY);
    // Each entry is cut out in place: the list is a copy of our own.
    for (DWORD i = 0; i < length; ++i) {
        if (pathList[i] == L';') pathList[i] = 0;
    }
    for (int pass = 0; pass < 2; ++pass) {
        bool shares = pass == 1;
        const wchar_t* runtimeDir = nullptr;
        const wchar_t* versionText = nullptr;
        bool localRuntime = shares && bestCandidate(&runtimeDir, &versionText);
        for (const wchar_t* entry = pathList; entry <= pathList + length; entry += textLength(entry) + 1) {
            size_t trimmed = 0;
            const wchar_t* start = trimStoredPath(entry, &trimmed);
            if (trimmed == 0 || isOnNetworkShare(start) != shares) continue;
            if (!localRuntime) {
                offerPathEntry(start, trimmed, system);
            } else {
                wchar_t folder[PATH_CAPACITY];
                copyTextN(folder, PATH_CAPACITY, start, trimmed);
                ignoreCandidate(candidateSubject(L"Path", folder),
                                L"on a network share, not looked at since another Path folder has a runtime");
            }
        }
    }
}

// ---- install folders -----------------------------------------------------

const wchar_t* const VENDOR_FOLDERS[] = {L"Java",      L"Eclipse Adoptium", L"Zulu",   L"Amazon Corretto",
                                         L"Microsoft", L"BellSoft",         L"Semeru", L"SapMachine\\JDK"};

// Every folder in <root>\<vendor> is a candidate home.
void searchVendorFolders(const wchar_t* root) {
    for (const wchar_t* vendor : VENDOR_FOLDERS) {
        wchar_t vendorDir[PATH_CAPACITY];
        TextBuffer dir = emptyTextBuffer(vendorDir, PATH_CAPACITY);
        appendText(dir, root);
        appendText(dir, "\\");
        appendText(dir, vendor);
        wchar_t pattern[PATH_CAPACITY];
        TextBuffer b = emptyTextBuffer(pattern, PATH_CAPACITY);
        appendText(b, vendorDir);
        appendText(b, "\\*");
        if (dir.overflowed || b.overflowed) continue;
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileExW(pattern, FindExInfoBasic, &found, FindExSearchLimitToDirectories, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
            if (textEquals(found.cFileName, L".") || textEquals(found.cFileName, L"..")) continue;
            wchar_t home[PATH_CAPACITY];
            TextBuffer h = emptyTextBuffer(home, PATH_CAPACITY);
            appendText(h, vendorDir);
            appendText(h, "\\");
            appendText(h, found.cFileName);
            if (h.overflowed) continue;
            considerCandidate(candidateSubject(nullptr, home), home, nullptr);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
}

// %ProgramFiles%, then the per-user %LOCALAPPDATA%\Programs.
void searchInstallFolders() {
    const wchar_t* const roots[][2] = {{L"ProgramFiles", L""}, {L"LOCALAPPDATA", L"\\Programs"}};
    for (const auto& root : roots) {
        wchar_t value[PATH_CAPACITY];
        DWORD length = GetEnvironmentVariableW(root[0], value, PATH_CAPACITY);
        if (length == 0 || length >= PATH_CAPACITY) continue;
        size_t trimmed = 0;
        const wchar_t* start = trimStoredPath(value, &trimmed);
        wchar_t folder[PATH_CAPACITY];
        TextBuffer b = emptyTextBuffer(folder, PATH_CAPACITY);
        appendTextN(b, start, trimmed);
        appendText(b, root[1]);
        if (trimmed > 0 && !b.overflowed) searchVendorFolders(folder);
    }
}

} // namespace

size_t familySearchOrder(int searchOrder, const RuntimeFamilyKey (&pair)[2], RuntimeFamilyKey (&searched)[2]) {
    const RuntimeFamilyKey& runtime = pair[0];
    const RuntimeFamilyKey& developmentKit = pair[1];
    switch (searchOrder) {
        case 0:
            searched[0] = runtime;
            return 1;
        case 2:
            searched[0] = developmentKit;
            searched[1] = runtime;
            return 2;
        case 3:
            searched[0] = developmentKit;
            return 1;
        default:
            searched[0] = runtime;
            searched[1] = developmentKit;
            return 2;
    }
}

const wchar_t* runtimeSourceWord(RuntimeSource source) { return SOURCE_WORDS[source]; }

bool parseRuntimeSources(const wchar_t* text, RuntimeSourceList* list, const wchar_t** badItem, size_t* badLength) {
    list->count = 0;
    for (const wchar_t* cursor = text; cursor != nullptr;) {
        WordListItem item = nextWordListItem(&cursor, SOURCE_WORDS, RUNTIME_SOURCE_KINDS);
        if (item.index == RUNTIME_SOURCE_KINDS) {
            *badItem = item.word;
            *badLength = item.length;
            return false;
        }
        RuntimeSource source = static_cast<RuntimeSource>(item.index);
        bool listed = false;
        for (size_t i = 0; i < list->count; ++i) listed = listed || list->items[i] == source;
        if (!listed) list->items[list->count++] = source;
    }
    return true;
}

SourcesRecord loadRuntimeSources(RuntimeSourceList* list) {
    wchar_t text[PATH_CAPACITY];
    if (!loadConfigString<CFG_RUNTIME_SOURCES>(text)) {
        return configFaulted() ? SOURCES_REFUSED : SOURCES_ABSENT;
    }
    const wchar_t* badItem = nullptr;
    size_t badLength = 0;
    if (parseRuntimeSources(text, list, &badItem, &badLength)) return SOURCES_LISTED;
    wchar_t item[PATH_CAPACITY];
    copyTextN(item, PATH_CAPACITY, badItem, badLength);
    explainFailureAbout("The launcher's configuration is damaged: CFG_RUNTIME_SOURCES holds \"", item,
                        "\", which is not a runtime source (registry, java_home, path or folders).");
    return SOURCES_REFUSED;
}

void noteBundledRuntimeWithoutProgram() {
    if (runtimeHome[0] == 0 || !isExistingFolder(runtimeHome)) return;
    logLine("Bundled JRE:\t%s has no %s: a runtime image linked with --strip-native-commands cannot be started\n",
            runtimeHome, QD_RUNTIME_PROGRAM_IN_BIN);
}

bool readVersionBounds(VersionBounds* bounds) {
    *bounds = VersionBounds{};
    bounds->hasLower = minVersion[0] != 0;
    bounds->hasUpper = maxVersion[0] != 0;
    if (bounds->hasLower && !parseJavaVersion(minVersion, &bounds->lower)) {
        return refuseBound(L"CFG_MIN_VERSION", minVersion);
    }
    if (bounds->hasUpper && !parseJavaVersion(maxVersion, &bounds->upper)) {
        return refuseBound(L"CFG_MAX_VERSION", maxVersion);
    }
    return true;
}

bool searchRuntimeSources(const RuntimeSourceList& list, int searchOrder, const VersionBounds& bounds,
                          const RuntimeMachines& machines) {
    for (size_t i = 0; i < list.count; ++i) {
        logLine("Runtime source:\t%s\n", runtimeSourceWord(list.items[i]));
        beginCandidates(bounds, machines);
        switch (list.items[i]) {
            case SOURCE_REGISTRY: searchRegistry(searchOrder); break;
            case SOURCE_JAVA_HOME: searchJavaHome(); break;
            case SOURCE_PATH: searchPathFolders(); break;
            case SOURCE_FOLDERS: searchInstallFolders(); break;
        }
        const wchar_t* runtimeDir = nullptr;
        const wchar_t* versionText = nullptr;
        if (bestCandidate(&runtimeDir, &versionText)) {
            copyText(runtimeHome, PATH_CAPACITY, runtimeDir);
            logLine("Runtime chosen:\t%s, version %s\n", runtimeDir, versionText);
            return true;
        }
    }
    return false;
}

void appendSearchedSources(const RuntimeSourceList& list) {
    appendToMessage("\nSearched: ");
    for (size_t i = 0; i < list.count; ++i) {
        if (i > 0) appendToMessage(", ");
        appendToMessage(runtimeSourceWord(list.items[i]));
    }
}
