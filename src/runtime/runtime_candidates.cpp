#include "runtime/runtime_candidates.h"

#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "runtime/runtime_program.h"

namespace {

// Folders already looked at in this source: installers record one home under
// several keys (a family key "17" next to "17.0.10.7", their own key next to
// the JavaSoft ones). Beyond this many, a repeat is simply looked at again.
const size_t SEEN_HOMES_MAX = 64;
wchar_t seenHomes[SEEN_HOMES_MAX][PATH_CAPACITY];
size_t seenCount;

const VersionBounds* activeBounds;
const RuntimeMachines* activeMachines;
bool foundAny;
int bestRank;
JavaVersion bestVersion;
wchar_t bestDir[PATH_CAPACITY];
wchar_t bestVersionText[NAME_CAPACITY];

// Registry paths of several key names and a stored home: logged, never opened.
const size_t SUBJECT_CAPACITY = 1024;
wchar_t subjectText[SUBJECT_CAPACITY];
wchar_t reasonText[3 * NAME_CAPACITY];

// A release file names its version in the first lines; this is plenty.
const DWORD RELEASE_READ_BYTES = 8192;
char releaseBytes[RELEASE_READ_BYTES];

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool isDriveLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// Copies the stored home without what trimStoredPath drops (so no backslash
// is doubled later). Returns the reason to pass it over, or nullptr.
const wchar_t* normaliseHome(const wchar_t* stored, wchar_t (&home)[PATH_CAPACITY]) {
    size_t length = 0;
    const wchar_t* raw = trimStoredPath(stored, &length);
    if (length == 0) return L"no folder is named";
    // A relative home would depend on whatever the current directory is.
    bool drive = length >= 2 && isDriveLetter(raw[0]) && raw[1] == L':' && (length == 2 || isSeparator(raw[2]));
    bool share = length >= 2 && raw[0] == L'\\' && raw[1] == L'\\';
    if (!drive && !share) return L"not an absolute path";
    wchar_t probe[PATH_CAPACITY];
    TextBuffer b = emptyTextBuffer(probe, PATH_CAPACITY);
    appendTextN(b, raw, length);
    appendText(b, L"\\" QD_RUNTIME_PROGRAM_IN_BIN);
    if (b.overflowed) return L"the path of its program would be longer than 259 characters";
    copyTextN(home, PATH_CAPACITY, raw, length);
    return nullptr;
}

bool seenBefore(const wchar_t* home) {
    for (size_t i = 0; i < seenCount; ++i) {
        if (sameName(seenHomes[i], home)) return true;
    }
    if (seenCount < SEEN_HOMES_MAX) copyText(seenHomes[seenCount++], PATH_CAPACITY, home);
    return false;
}

// The folder whose bin holds the program: the home itself, or its jre folder
// in the layout of a JDK 8 (the only one that has it); *machine is what the
// program's header names.
bool findRuntimeDir(const wchar_t* home, wchar_t (&runtimeDir)[PATH_CAPACITY], WORD* machine) {
    const wchar_t* const layouts[] = {L"", L"\\jre"};
    for (const wchar_t* layout : layouts) {
        TextBuffer dir = emptyTextBuffer(runtimeDir, PATH_CAPACITY);
        appendText(dir, home);
        appendText(dir, layout);
        wchar_t program[PATH_CAPACITY];
        TextBuffer path = emptyTextBuffer(program, PATH_CAPACITY);
        appendText(path, runtimeDir);
        appendText(path, L"\\" QD_RUNTIME_PROGRAM_IN_BIN);
        DWORD error = 0;
        if (!dir.overflowed && !path.overflowed && probeRuntimeProgram(program, machine, &error)) return true;
    }
    runtimeDir[0] = 0;
    return false;
}

bool readReleaseVersion(const wchar_t* home, JavaVersion* version, wchar_t (&text)[NAME_CAPACITY]) {
    wchar_t path[PATH_CAPACITY];
    TextBuffer b = emptyTextBuffer(path, PATH_CAPACITY);
    appendText(b, home);
    appendText(b, "\\release");
    if (b.overflowed) return false;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD got = 0;
    BOOL read = ReadFile(file, releaseBytes, RELEASE_READ_BYTES, &got, nullptr);
    CloseHandle(file);
    return read && findReleaseJavaVersion(releaseBytes, got, text, NAME_CAPACITY) && parseJavaVersion(text, version);
}

// The version from the runtime's own release file, else from the name; its
// text goes to `text`. False when neither tells it.
bool readInstalledVersion(const wchar_t* home, const wchar_t* versionName, JavaVersion* version,
                          wchar_t (&text)[NAME_CAPACITY]) {
    if (readReleaseVersion(home, version, text)) return true;
    const wchar_t* name = versionName != nullptr ? versionName : lastFolderName(home);
    TextBuffer b = emptyTextBuffer(text, NAME_CAPACITY);
    appendText(b, name);
    appendText(b, " (no release file)");
    return parseVersionInName(name, version);
}

const wchar_t* versionReason(const wchar_t* versionText, const wchar_t* relation, const wchar_t* bound) {
    TextBuffer b = emptyTextBuffer(reasonText, 3 * NAME_CAPACITY);
    appendText(b, "version ");
    appendText(b, versionText);
    appendText(b, relation);
    appendText(b, bound);
    return reasonText;
}

} // namespace

void beginCandidates(const VersionBounds& bounds, const RuntimeMachines& machines) {
    activeBounds = &bounds;
    activeMachines = &machines;
    seenCount = 0;
    foundAny = false;
    bestDir[0] = 0;
    bestVersionText[0] = 0;
}

void ignoreCandidate(const wchar_t* subject, const wchar_t* reason) {
    logLine("Runtime ignored:\t%s: %s\n", subject, reason);
}

const wchar_t* candidateSubject(const wchar_t* origin, const wchar_t* value) {
    TextBuffer b = emptyTextBuffer(subjectText, SUBJECT_CAPACITY);
    if (origin != nullptr) {
        appendText(b, origin);
        appendText(b, " = ");
    }
    appendText(b, value);
    return subjectText;
}

void considerCandidate(const wchar_t* subject, const wchar_t* rawHome, const wchar_t* versionName) {
    wchar_t home[PATH_CAPACITY];
    const wchar_t* problem = normaliseHome(rawHome, home);
    if (problem != nullptr) return ignoreCandidate(subject, problem);
    if (seenBefore(home)) return ignoreCandidate(subject, L"the same folder was already looked at");
    if (!isExistingFolder(home)) return ignoreCandidate(subject, L"the folder does not exist (a stale entry)");
    wchar_t runtimeDir[PATH_CAPACITY];
    WORD machine = MACHINE_UNKNOWN;
    if (!findRuntimeDir(home, runtimeDir, &machine)) {
        return ignoreCandidate(subject, L"no " QD_RUNTIME_PROGRAM_IN_BIN L" (nor jre\\" QD_RUNTIME_PROGRAM_IN_BIN L")");
    }
    const wchar_t* refusal = nullptr;
    int rank = rankRuntimeMachine(machine, *activeMachines, &refusal);
    if (rank == MACHINE_REFUSED) return ignoreCandidate(subject, refusal);

    JavaVersion version;
    wchar_t versionText[NAME_CAPACITY];
    bool known = readInstalledVersion(home, versionName, &version, versionText);
    const VersionBounds& bounds = *activeBounds;
    if (!known) {
        // Without bounds any runtime will do; it ranks below every known version.
        if (bounds.hasLower || bounds.hasUpper) {
            return ignoreCandidate(subject, L"its version is unknown (no release file, no version in the name)");
        }
        version = JavaVersion{};
        copyText(versionText, NAME_CAPACITY, L"unknown");
    }
    if (bounds.hasLower && !meetsLowerBound(version, bounds.lower)) {
        return ignoreCandidate(subject, versionReason(versionText, L" is below the minimum ", minVersion));
    }
    if (bounds.hasUpper && !meetsUpperBound(version, bounds.upper)) {
        return ignoreCandidate(subject, versionReason(versionText, L" is above the maximum ", maxVersion));
    }

    logLine("Runtime found:\t%s: version %s in %s%s\n", subject, versionText, runtimeDir, machineNote(machine));
    // A more preferred machine wins over a higher version; of equal ones the first seen stays.
    if (foundAny && (rank > bestRank || (rank == bestRank && compareJavaVersions(version, bestVersion) <= 0))) return;
    foundAny = true;
    bestRank = rank;
    bestVersion = version;
    copyText(bestDir, PATH_CAPACITY, runtimeDir);
    copyText(bestVersionText, NAME_CAPACITY, versionText);
}

bool bestCandidate(const wchar_t** runtimeDir, const wchar_t** versionText) {
    *runtimeDir = bestDir;
    *versionText = bestVersionText;
    return foundAny;
}

bool isExistingFile(const wchar_t* path) {
    WORD machine = MACHINE_UNKNOWN;
    DWORD error = 0;
    return probeRuntimeProgram(path, &machine, &error);
}

bool sameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

bool isExistingFolder(const wchar_t* path) {
    HANDLE folder = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool isFolder = GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(folder);
    return isFolder;
}

const wchar_t* trimStoredPath(const wchar_t* raw, size_t* length) {
    while (*raw == L' ' || *raw == L'\t') ++raw;
    size_t n = textLength(raw);
    while (n > 0 && (raw[n - 1] == L' ' || raw[n - 1] == L'\t')) --n;
    if (n >= 2 && raw[0] == L'"' && raw[n - 1] == L'"') {
        ++raw;
        n -= 2;
    }
    while (n > 0 && isSeparator(raw[n - 1])) --n;
    *length = n;
    return raw;
}

const wchar_t* lastFolderName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != 0; ++p) {
        if (isSeparator(*p)) name = p + 1;
    }
    return name;
}
