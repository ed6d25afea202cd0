#include "runtime/private_launcher.h"

#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "core/name_pattern.h"
#include "diag/debug_log.h"
#include "runtime/copy_marker.h"
#include "runtime/runtime_program.h"
#include "runtime/runtime_search.h"

namespace {

const wchar_t* const MANIFEST_SUFFIX = L".manifest";
const wchar_t* const MARKER_SUFFIX = L".qd-launch";
const size_t MARKER_SUFFIX_LENGTH = 10;
const wchar_t* const MARKER_PATTERN = L"*.qd-launch";
const size_t MARKER_PATTERN_LENGTH = 11;
const DWORD READ_CHUNK = 16384;
const int PLACING_ATTEMPTS = 3;
// Placing a copy takes well under a second; a launch that waits longer than
// this for another one goes on without the lock.
const DWORD PLACING_LOCK_WAIT_MS = 10000;

// A loader's refusal ends a program before any of its own code runs, in a
// fraction of a second; the margin is for a slow disk or a virus scanner
// looking at the files first.
const ULONGLONG UNLOADED_WITHIN_MS = 5000;

// The status codes with which the system ends a program that it started but
// could not load.
const DWORD LOADER_REFUSALS[] = {
    0xC000007B, // STATUS_INVALID_IMAGE_FORMAT: a DLL for another machine
    0xC0000135, // STATUS_DLL_NOT_FOUND
    0xC0000138, // STATUS_ORDINAL_NOT_FOUND
    0xC0000139, // STATUS_ENTRYPOINT_NOT_FOUND
    0xC0000142, // STATUS_DLL_INIT_FAILED
    0xC0000361, // STATUS_ACCESS_DISABLED_BY_POLICY_DEFAULT: software restriction or AppLocker
    0xC0000362, // STATUS_ACCESS_DISABLED_BY_POLICY_PATH
    0xC0000363, // STATUS_ACCESS_DISABLED_BY_POLICY_PUBLISHER
    0xC0000364, // STATUS_ACCESS_DISABLED_BY_POLICY_OTHER
    0xC0000372, // STATUS_ACCESS_DISABLED_NO_SAFER_UI_BY_POLICY
    0xC0000428, // STATUS_INVALID_IMAGE_HASH: code integrity refused a file
    0xC0E90002, // STATUS_SYSTEM_INTEGRITY_POLICY_VIOLATION: application control policy
};

// The paths of the private launcher, all composed before launcherPath (the
// same buffer as runtimeHome) is rewritten.
struct PrivateLauncherPaths {
    wchar_t binDirectory[PATH_CAPACITY]; // with its trailing backslash
    wchar_t sourceLauncher[PATH_CAPACITY];
    wchar_t privateCopy[PATH_CAPACITY];
    wchar_t sourceManifest[PATH_CAPACITY];
    wchar_t copiedManifest[PATH_CAPACITY];
    wchar_t marker[PATH_CAPACITY];
    wchar_t markerPattern[PATH_CAPACITY];
};
PrivateLauncherPaths paths;

// This executable's marker as read at the start, then as written.
CopyMarker ownMarker;

// Held from the content check until the child has started.
// nullptr or INVALID_HANDLE_VALUE: nothing held.
HANDLE heldCopy;
HANDLE heldManifest;
wchar_t plainLauncher[PATH_CAPACITY];

unsigned char sourceChunk[READ_CHUNK];
unsigned char copyChunk[READ_CHUNK];

bool composePath(wchar_t* out, const wchar_t* first, const wchar_t* second, const wchar_t* third = L"") {
    TextBuffer b = emptyTextBuffer(out, PATH_CAPACITY);
    appendText(b, first);
    appendText(b, second);
    appendText(b, third);
    return !b.overflowed;
}

// False when any of the paths would be longer than 259 characters.
bool composePrivateLauncherPaths(const wchar_t* exePath, size_t exeDirLen) {
    const wchar_t* exeName = exePath + exeDirLen + 1;
    bool fits = copyText(paths.sourceLauncher, PATH_CAPACITY, runtimeHome) && appendLauncherName(paths.sourceLauncher);
    fits = fits && copyTextN(paths.binDirectory, PATH_CAPACITY, paths.sourceLauncher,
                             static_cast<size_t>(findLastChar(paths.sourceLauncher, L'\\') - paths.sourceLauncher) + 1);
    fits = fits && composePath(paths.privateCopy, paths.binDirectory, exeName);
    fits = fits && composePath(paths.sourceManifest, exePath, MANIFEST_SUFFIX);
    fits = fits && composePath(paths.copiedManifest, paths.binDirectory, exeName, MANIFEST_SUFFIX);
    fits = fits && composePath(paths.marker, paths.binDirectory, exeName, MARKER_SUFFIX);
    fits = fits && composePath(paths.markerPattern, paths.binDirectory, MARKER_PATTERN);
    return fits;
}

// `target` followed by a name of this launch's own: ".<process id>.tmp".
bool composeTemporaryName(wchar_t* out, const wchar_t* target) {
    TextBuffer name = emptyTextBuffer(out, PATH_CAPACITY);
    appendText(name, target);
    appendChar(name, L'.');
    appendDecimal(name, GetCurrentProcessId());
    appendText(name, ".tmp");
    return !name.overflowed;
}

bool sameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

bool isFile(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isAbsent(const wchar_t* path) { return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES; }

// Opens `path` itself (a link is not followed), sharing reading only, with
// `access` besides reading; INVALID_HANDLE_VALUE unless it is a plain file.
// Both the name and the handle are asked: either may be the one that shows a
// link, depending on the system.
HANDLE openPlainFile(const wchar_t* path, DWORD access) {
    HANDLE file = CreateFileW(path, GENERIC_READ | access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    const DWORD LINK_OR_FOLDER = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    BY_HANDLE_FILE_INFORMATION opened;
    DWORD named = GetFileAttributesW(path);
    if (GetFileInformationByHandle(file, &opened) && (opened.dwFileAttributes & LINK_OR_FOLDER) == 0 &&
        named != INVALID_FILE_ATTRIBUTES && (named & LINK_OR_FOLDER) == 0) {
        return file;
    }
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

// The fingerprint of an open file's content, read from its start.
bool fingerprintOf(HANDLE file, Fingerprint* fingerprint) {
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    Fingerprint value = FINGERPRINT_START;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, copyChunk, READ_CHUNK, &got, nullptr)) return false;
        if (got == 0) break;
        value = addToFingerprint(value, copyChunk, got);
    }
    *fingerprint = value;
    return true;
}

bool fingerprintOfFile(const wchar_t* path, Fingerprint* fingerprint) {
    HANDLE file = openPlainFile(path, 0);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool read = fingerprintOf(file, fingerprint);
    CloseHandle(file);
    return read;
}

// Whether `path` is a file this launcher placed for the name `marker` belongs to.
bool isOurs(const wchar_t* path, const CopyMarker& marker) {
    Fingerprint fingerprint = 0;
    return fingerprintOfFile(path, &fingerprint) && markerLists(marker, fingerprint);
}

// Reads a marker; false when something that is not a marker of this launcher
// lies there. An absent marker lists nothing.
bool readMarker(const wchar_t* path, CopyMarker* marker) {
    marker->count = 0;
    if (isAbsent(path)) return true;
    HANDLE file = openPlainFile(path, 0);
    if (file == INVALID_HANDLE_VALUE) return false;
    char bytes[MARKER_BYTES_MAX + 1];
    DWORD got = 0;
    bool read = ReadFile(file, bytes, sizeof bytes, &got, nullptr) && parseCopyMarker(bytes, got, marker);
    CloseHandle(file);
    return read;
}

// Writes the marker whole under a temporary name and renames it into place.
bool writeOwnMarker() {
    char bytes[MARKER_BYTES_MAX];
    DWORD count = static_cast<DWORD>(formatCopyMarker(ownMarker, bytes));
    wchar_t temporary[PATH_CAPACITY];
    if (!composeTemporaryName(temporary, paths.marker)) return false;
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool whole = WriteFile(file, bytes, count, &written, nullptr) && written == count;
    CloseHandle(file);
    if (whole && MoveFileExW(temporary, paths.marker, MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileW(temporary);
    return false;
}

// Lists a file about to be placed in the marker, before it takes its place:
// the marker keeps the fingerprints of the copy and manifest as they are now,
// so whatever a launch that ends at any moment leaves behind is still known.
bool markAsOurs(Fingerprint placed) {
    CopyMarker next = {};
    const wchar_t* const placedFiles[] = {paths.privateCopy, paths.copiedManifest};
    for (const wchar_t* file : placedFiles) {
        Fingerprint current = 0;
        if (fingerprintOfFile(file, &current) && markerLists(ownMarker, current)) addToMarker(next, current);
    }
    addToMarker(next, placed);
    ownMarker = next;
    return writeOwnMarker();
}

// Deletes `path` when it is a file `marker` lists. The content is checked and
// the file deleted through one handle, so nothing can take its place between.
bool deleteIfOurs(const wchar_t* path, const CopyMarker& marker) {
    HANDLE file = openPlainFile(path, DELETE);
    if (file == INVALID_HANDLE_VALUE) return false;
    Fingerprint fingerprint = 0;
    bool ours = fingerprintOf(file, &fingerprint) && markerLists(marker, fingerprint);
    FILE_DISPOSITION_INFO disposal = {TRUE};
    if (ours) logLine("Unlink:\t\t%s\n", path);
    bool deleted = ours && SetFileInformationByHandle(file, FileDispositionInfo, &disposal, sizeof disposal);
    CloseHandle(file);
    return deleted;
}

bool sameContent(HANDLE copy, const wchar_t* source) {
    HANDLE original = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (original == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER originalSize;
    LARGE_INTEGER copySize;
    bool same = GetFileSizeEx(original, &originalSize) && GetFileSizeEx(copy, &copySize) &&
                originalSize.QuadPart == copySize.QuadPart;
    long long left = same ? originalSize.QuadPart : 0;
    while (same && left > 0) {
        DWORD wanted = left < READ_CHUNK ? static_cast<DWORD>(left) : READ_CHUNK;
        DWORD gotOriginal = 0;
        DWORD gotCopy = 0;
        same = ReadFile(original, sourceChunk, wanted, &gotOriginal, nullptr) &&
               ReadFile(copy, copyChunk, wanted, &gotCopy, nullptr) && gotOriginal == wanted && gotCopy == wanted;
        for (DWORD i = 0; same && i < wanted; ++i) same = sourceChunk[i] == copyChunk[i];
        left -= wanted;
    }
    CloseHandle(original);
    return same;
}

// Opens `path` when it holds exactly what `source` holds. The handle shares
// reading only, so while it is open nobody can write, replace, rename or
// delete the file; starting it as a program, or reading it as its manifest,
// only reads it.
HANDLE holdIfSameContent(const wchar_t* path, const wchar_t* source) {
    HANDLE held = openPlainFile(path, 0);
    if (held == INVALID_HANDLE_VALUE || sameContent(held, source)) return held;
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
}

// Copies `source` under a name of this launch's own, lists it in the marker
// and renames the whole copy into place, so nobody ever sees a half-written
// `target`. False when it could not be put in place (a running program cannot
// be replaced).
bool replaceWithFreshCopy(const wchar_t* source, const wchar_t* target) {
    wchar_t temporary[PATH_CAPACITY];
    if (!composeTemporaryName(temporary, target)) return false;
    logLine("Copy:\t\t%s -> %s\n", source, target);
    // Never over an existing file: one of that name is not this launch's.
    if (!CopyFileW(source, temporary, TRUE)) return false;
    Fingerprint placed = 0;
    if (fingerprintOfFile(temporary, &placed) && markAsOurs(placed) &&
        MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    DeleteFileW(temporary);
    return false;
}

// Leaves `target` holding what `source` holds and returns a handle that holds
// it; INVALID_HANDLE_VALUE when a file that is not the launcher's own is in
// the way or the copy cannot be put in place. An equal file stays, whoever
// put it there (another launch, or an installer that placed the copy). A few
// tries: another executable's launch may clean a copy away between its rename
// and the hold.
HANDLE placeAndHold(const wchar_t* source, const wchar_t* target, bool* placed) {
    HANDLE held = holdIfSameContent(target, source);
    for (int attempt = 0; held == INVALID_HANDLE_VALUE && attempt < PLACING_ATTEMPTS; ++attempt) {
        if (!isAbsent(target) && !isOurs(target, ownMarker)) {
            logLine("Not ours:\t%s\n", target);
            return INVALID_HANDLE_VALUE;
        }
        bool replaced = replaceWithFreshCopy(source, target);
        *placed = *placed || replaced;
        // A copy in use cannot be replaced, not even by an equal one: another
        // launch may have put the same file in place first.
        held = holdIfSameContent(target, source);
        if (!replaced) break;
    }
    return held;
}

// Removes the copies that other executable names left (renamed executables):
// each listed in its own marker, its manifest only when the copy itself could
// be deleted, and the marker once neither is left. A copy held or run by
// another launch cannot be deleted; a file whose content the marker does not
// list is not the launcher's and stays.
void cleanStaleCopies() {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(paths.markerPattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (!longNameMatches(entry.cFileName, MARKER_PATTERN, MARKER_PATTERN_LENGTH) ||
            textLength(entry.cFileName) == MARKER_SUFFIX_LENGTH) {
            continue;
        }
        wchar_t marker[PATH_CAPACITY];
        wchar_t copy[PATH_CAPACITY];
        wchar_t manifest[PATH_CAPACITY];
        // A path that does not fit is skipped: a cut one could name another file.
        if (!composePath(marker, paths.binDirectory, entry.cFileName) ||
            !copyTextN(copy, PATH_CAPACITY, marker, textLength(marker) - MARKER_SUFFIX_LENGTH) ||
            !composePath(manifest, copy, MANIFEST_SUFFIX)) {
            continue;
        }
        // Never this executable's own, and never the runtime's own program.
        CopyMarker stale;
        if (sameName(marker, paths.marker) || sameName(copy, paths.sourceLauncher) || !readMarker(marker, &stale)) {
            continue;
        }
        bool copyGone = deleteIfOurs(copy, stale) || isAbsent(copy);
        bool manifestGone = copyGone && (deleteIfOurs(manifest, stale) || isAbsent(manifest));
        if (manifestGone) DeleteFileW(marker);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

// The copy carries the executable's manifest when it has one, and none when it
// has none; a manifest beside the copy that is not the launcher's own would
// apply to it, so then the copy is not used. Holds the manifest placed.
bool installManifest() {
    if (isFile(paths.sourceManifest)) {
        bool placed = false;
        heldManifest = placeAndHold(paths.sourceManifest, paths.copiedManifest, &placed);
        return heldManifest != INVALID_HANDLE_VALUE;
    }
    if (isAbsent(paths.copiedManifest) || deleteIfOurs(paths.copiedManifest, ownMarker)) return true;
    if (!isOurs(paths.copiedManifest, ownMarker)) logLine("Not ours:\t%s\n", paths.copiedManifest);
    return false;
}

void letGo(HANDLE* held) {
    if (*held != INVALID_HANDLE_VALUE && *held != nullptr) CloseHandle(*held);
    *held = INVALID_HANDLE_VALUE;
}

// Launches sharing bin look at and place the files one at a time, each until
// it holds its copy: otherwise two launches placing the first copy together
// find each other's file in the way before its marker lists it, or cannot
// rename their marker over the one the other is reading. The lock is a mutex
// of this session named after bin's identity on its volume, so every spelling
// of bin's path names the same one. nullptr when it cannot be had: the launch
// goes on without it, and at worst uses the runtime's own launcher.
HANDLE takePlacingLock() {
    HANDLE directory = CreateFileW(paths.binDirectory, FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION identity;
    bool known = GetFileInformationByHandle(directory, &identity);
    CloseHandle(directory);
    if (!known) return nullptr;
    wchar_t name[64];
    TextBuffer b = emptyTextBuffer(name, 64);
    appendText(b, "Local\\qdlauncher-copy-");
    appendDecimal(b, identity.dwVolumeSerialNumber);
    appendChar(b, L'-');
    // The 64-bit file index as a signed number: one text for each index.
    appendDecimal(b, static_cast<long long>(static_cast<unsigned long long>(identity.nFileIndexHigh) << 32 |
                                            identity.nFileIndexLow));
    HANDLE lock = CreateMutexW(nullptr, FALSE, name);
    if (lock == nullptr) return nullptr;
    DWORD waited = WaitForSingleObject(lock, PLACING_LOCK_WAIT_MS);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return lock;
    CloseHandle(lock);
    return nullptr;
}

bool placeAndHoldCopy() {
    if (!readMarker(paths.marker, &ownMarker)) {
        logLine("Not ours:\t%s\n", paths.marker);
        return false;
    }
    cleanStaleCopies();
    if (!installManifest()) return false;
    bool placed = false;
    heldCopy = placeAndHold(paths.sourceLauncher, paths.privateCopy, &placed);
    if (heldCopy == INVALID_HANDLE_VALUE) {
        letGo(&heldManifest);
        return false;
    }
    if (!placed) logLine("Reusing:\t\t%s\n", paths.privateCopy);
    return true;
}

bool installPrivateCopy() {
    HANDLE lock = takePlacingLock();
    if (lock == nullptr) logLine("No copy lock:\t%s\n", paths.binDirectory);
    bool held = placeAndHoldCopy();
    if (lock != nullptr) {
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
    return held;
}

} // namespace

bool installPrivateLauncher(const wchar_t* exePath, size_t exeDirLen) {
    releasePrivateLauncher();
    const wchar_t* exeName = exePath + exeDirLen + 1;
    // Named like the runtime's own program, the executable needs no copy.
    if (sameName(exeName, QD_RUNTIME_PROGRAM)) return false;
    if (!composePrivateLauncherPaths(exePath, exeDirLen)) return false;
    if (!installPrivateCopy()) return false;
    copyText(plainLauncher, PATH_CAPACITY, paths.sourceLauncher);
    copyText(launcherPath, PATH_CAPACITY, paths.privateCopy);
    return true;
}

bool runsPrivateCopy() { return plainLauncher[0] != 0; }

bool switchToPlainLauncher() {
    if (!runsPrivateCopy()) return false;
    copyText(launcherPath, PATH_CAPACITY, plainLauncher);
    releasePrivateLauncher();
    return true;
}

void privateLauncherStarted() {
    letGo(&heldCopy);
    letGo(&heldManifest);
}

void releasePrivateLauncher() {
    privateLauncherStarted();
    plainLauncher[0] = 0;
}

bool endedUnloaded(DWORD exitCode, ULONGLONG ranMs, bool wroteOutput) {
    if (wroteOutput || ranMs >= UNLOADED_WITHIN_MS) return false;
    for (DWORD refusal : LOADER_REFUSALS) {
        if (exitCode == refusal) return true;
    }
    return false;
}
