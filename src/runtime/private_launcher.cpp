#include "runtime/private_launcher.h"

#include <windows.h>

#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "core/name_pattern.h"
#include "diag/debug_log.h"
#include "runtime/pe_imports.h"
#include "runtime/runtime_search.h"

namespace {

const wchar_t* const PRIVATE_DIR_SUFFIX = L"\\qd-launch-tmp\\";
const wchar_t* const MANIFEST_SUFFIX = L".manifest";
const wchar_t* const COPY_PATTERN = L"*.exe";
const size_t COPY_PATTERN_LENGTH = 5;
const DWORD COMPARE_CHUNK = 16384;
// A launcher whose start needs more of the runtime's own DLLs than this is not
// a runtime this launcher knows.
const size_t RUNTIME_DLLS_MAX = 32;
const int PLACING_ATTEMPTS = 3;

// The paths of the private launcher, all composed before launcherPath (the
// same buffer as runtimeHome) is rewritten.
struct PrivateLauncherPaths {
    wchar_t directory[PATH_CAPACITY];      // with its trailing backslash
    wchar_t folder[PATH_CAPACITY];         // the same without it
    wchar_t binDirectory[PATH_CAPACITY];   // the runtime's bin folder, with its trailing backslash
    wchar_t sourceLauncher[PATH_CAPACITY];
    wchar_t privateCopy[PATH_CAPACITY];
    wchar_t sourceManifest[PATH_CAPACITY];
    wchar_t copiedManifest[PATH_CAPACITY];
    wchar_t cleaningPattern[PATH_CAPACITY];
};
PrivateLauncherPaths paths;

// The runtime's DLLs that the launcher loads at its start, by bare name.
struct RuntimeDlls {
    wchar_t names[RUNTIME_DLLS_MAX][IMPORT_NAME_MAX + 1];
    size_t count;
};
RuntimeDlls runtimeDlls;

// Held from the content check until the child has started.
HANDLE heldCopy = INVALID_HANDLE_VALUE;
wchar_t plainLauncher[PATH_CAPACITY];

unsigned char sourceChunk[COMPARE_CHUNK];
unsigned char copyChunk[COMPARE_CHUNK];

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
    bool fits = composePath(paths.directory, runtimeHome, PRIVATE_DIR_SUFFIX);
    fits = fits && copyTextN(paths.folder, PATH_CAPACITY, paths.directory, textLength(paths.directory) - 1);
    fits = fits && copyText(paths.sourceLauncher, PATH_CAPACITY, runtimeHome) &&
           appendLauncherName(paths.sourceLauncher);
    fits = fits && copyTextN(paths.binDirectory, PATH_CAPACITY, paths.sourceLauncher,
                             static_cast<size_t>(findLastChar(paths.sourceLauncher, L'\\') - paths.sourceLauncher) + 1);
    fits = fits && composePath(paths.privateCopy, paths.directory, exeName);
    fits = fits && composePath(paths.sourceManifest, exePath, MANIFEST_SUFFIX);
    fits = fits && composePath(paths.copiedManifest, paths.directory, exeName, MANIFEST_SUFFIX);
    fits = fits && composePath(paths.cleaningPattern, paths.directory, COPY_PATTERN);
    return fits;
}

bool sameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

bool isFile(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Creates the folder when it is missing and opens it. It is used only when it
// is a plain folder, not a junction or symbolic link (cleaning one would
// delete programs wherever it points); the open handle keeps it from being
// deleted or renamed, and so from being swapped for a link, while the copy is
// prepared.
HANDLE openPlainFolder() {
    if (!CreateDirectoryW(paths.folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        logLine(L"Mkdir failed:\t%s\n", paths.folder);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE folder = CreateFileW(paths.folder, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION opened;
    // Both the name and the handle are asked: either may be the one that
    // shows the link, depending on the system.
    DWORD named = GetFileAttributesW(paths.folder);
    bool plain = folder != INVALID_HANDLE_VALUE && GetFileInformationByHandle(folder, &opened) &&
                 named != INVALID_FILE_ATTRIBUTES;
    const DWORD LINK_OR_FILE = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    plain = plain && (opened.dwFileAttributes & LINK_OR_FILE) == FILE_ATTRIBUTE_DIRECTORY &&
            (named & LINK_OR_FILE) == FILE_ATTRIBUTE_DIRECTORY;
    if (plain) return folder;
    logLine(L"Not a folder:\t%s\n", paths.folder);
    if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
    return INVALID_HANDLE_VALUE;
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
        DWORD wanted = left < COMPARE_CHUNK ? static_cast<DWORD>(left) : COMPARE_CHUNK;
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
// delete the file; starting it as a program only reads it.
HANDLE holdIfSameContent(const wchar_t* path, const wchar_t* source) {
    HANDLE held = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (held == INVALID_HANDLE_VALUE) return held;
    BY_HANDLE_FILE_INFORMATION opened;
    bool plainFile = GetFileInformationByHandle(held, &opened) &&
                     (opened.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    if (plainFile && sameContent(held, source)) return held;
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
}

// Copies `source` under a name of this process's own and renames the whole
// copy into place, so nobody ever sees a half-written `target`. False when it
// could not be put in place (a running program cannot be replaced).
bool replaceWithFreshCopy(const wchar_t* source, const wchar_t* target) {
    wchar_t temporary[PATH_CAPACITY];
    TextBuffer name = emptyTextBuffer(temporary, PATH_CAPACITY);
    appendText(name, target);
    appendChar(name, L'.');
    appendDecimal(name, GetCurrentProcessId());
    appendText(name, L".tmp");
    if (name.overflowed) return false;
    logLine(L"Copy:\t\t%s -> %s\n", source, target);
    if (CopyFileW(source, temporary, FALSE) && MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileW(temporary);
    return false;
}

bool holdsSameContent(const wchar_t* path, const wchar_t* source) {
    HANDLE existing = holdIfSameContent(path, source);
    if (existing == INVALID_HANDLE_VALUE) return false;
    CloseHandle(existing);
    return true;
}

// Leaves `target` holding what `source` holds; a copy already equal stays.
// True also when another launch put the same file in place first (a copy in
// use cannot be replaced, not even by an equal one).
bool installFile(const wchar_t* source, const wchar_t* target) {
    if (holdsSameContent(target, source)) return true;
    replaceWithFreshCopy(source, target);
    return holdsSameContent(target, source);
}

// Removes the copies that other executables left (a program file and its
// manifest). This executable's own copy is replaced by rename instead, and a
// copy held or run by another launch cannot be deleted: its manifest then
// stays too.
void cleanStaleCopies(const wchar_t* exeName) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(paths.cleaningPattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (!longNameMatches(entry.cFileName, COPY_PATTERN, COPY_PATTERN_LENGTH)) continue;
        if (sameName(entry.cFileName, exeName)) continue;
        wchar_t stale[PATH_CAPACITY];
        // A path that does not fit is skipped: a cut one could name another file.
        if (!composePath(stale, paths.directory, entry.cFileName)) continue;
        logLine(L"Unlink:\t\t%s\n", stale);
        if (!DeleteFileW(stale) || !appendTo(stale, PATH_CAPACITY, MANIFEST_SUFFIX)) continue;
        logLine(L"Unlink:\t\t%s\n", stale);
        DeleteFileW(stale);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

// The copy carries the executable's manifest when it has one, and none when it
// has none. A manifest that cannot be put in place is no reason to give up.
void installManifest() {
    if (isFile(paths.sourceManifest)) {
        installFile(paths.sourceManifest, paths.copiedManifest);
    } else if (isFile(paths.copiedManifest)) {
        logLine(L"Unlink:\t\t%s\n", paths.copiedManifest);
        DeleteFileW(paths.copiedManifest);
    }
}

bool isApiSetName(const char* name, size_t length) {
    // api-ms-* and ext-ms-* name sets of the system's own functions, which the
    // system resolves itself whatever files lie around.
    const char* prefixes[] = {"api-ms-", "ext-ms-"};
    for (const char* prefix : prefixes) {
        size_t i = 0;
        while (prefix[i] != 0 && i < length && (name[i] | 0x20) == prefix[i]) ++i;
        if (prefix[i] == 0) return true;
    }
    return false;
}

// Notes one imported DLL when the runtime's bin folder has it. False stops the
// walk: a name that could reach outside the folder, or too many DLLs.
bool noteRuntimeDll(const char* name, size_t length, void*) {
    if (isApiSetName(name, length)) return true;
    wchar_t wide[IMPORT_NAME_MAX + 1];
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c >= 0x80 || c == '\\' || c == '/' || c == ':') return false;
        wide[i] = static_cast<wchar_t>(c);
    }
    wide[length] = 0;
    for (size_t i = 0; i < runtimeDlls.count; ++i) {
        if (sameName(runtimeDlls.names[i], wide)) return true;
    }
    wchar_t inBin[PATH_CAPACITY];
    if (!composePath(inBin, paths.binDirectory, wide)) return false;
    if (!isFile(inBin)) return true; // one of the system's DLLs
    if (runtimeDlls.count == RUNTIME_DLLS_MAX) return false;
    copyText(runtimeDlls.names[runtimeDlls.count++], IMPORT_NAME_MAX + 1, wide);
    return true;
}

bool noteImportsOf(const wchar_t* program) {
    HANDLE file = CreateFileW(program, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    HANDLE mapping = nullptr;
    const void* view = nullptr;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    }
    if (mapping != nullptr) view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    bool read = view != nullptr && forEachImportedDll(static_cast<const unsigned char*>(view),
                                                      static_cast<size_t>(size.QuadPart), noteRuntimeDll, nullptr);
    if (view != nullptr) UnmapViewOfFile(view);
    if (mapping != nullptr) CloseHandle(mapping);
    CloseHandle(file);
    return read;
}

// Puts beside the copy every DLL of the runtime's bin folder that its launcher
// loads at its start, and the ones those load in turn. The system looks for a
// program's DLLs in the program's own folder first, and only later in the
// working directory and the Path folders; beside the copy, the selected
// runtime's jli.dll is found before another runtime's or one planted in the
// working directory. (Moving bin to the front of Path would not do: the working
// directory is searched before Path, and the child must keep it.)
bool installRuntimeDlls() {
    runtimeDlls.count = 0;
    if (!noteImportsOf(paths.sourceLauncher)) return false;
    for (size_t i = 0; i < runtimeDlls.count; ++i) {
        wchar_t source[PATH_CAPACITY];
        wchar_t target[PATH_CAPACITY];
        if (!composePath(source, paths.binDirectory, runtimeDlls.names[i]) ||
            !composePath(target, paths.directory, runtimeDlls.names[i])) {
            return false;
        }
        // The list grows while it is walked: each DLL's own imports join it.
        if (!noteImportsOf(source) || !installFile(source, target)) return false;
    }
    return true;
}

bool installPrivateCopy(const wchar_t* exeName) {
    HANDLE folder = openPlainFolder();
    if (folder == INVALID_HANDLE_VALUE) return false;

    HANDLE held = holdIfSameContent(paths.privateCopy, paths.sourceLauncher);
    bool placed = false;
    cleanStaleCopies(exeName);
    installManifest();
    bool dllsReady = installRuntimeDlls();
    // Another executable's launch may clean a copy away between its rename and
    // the hold: a few tries. The hold also takes a copy that another launch of
    // this executable put in place first.
    for (int attempt = 0; dllsReady && held == INVALID_HANDLE_VALUE && attempt < PLACING_ATTEMPTS; ++attempt) {
        placed = replaceWithFreshCopy(paths.sourceLauncher, paths.privateCopy);
        held = holdIfSameContent(paths.privateCopy, paths.sourceLauncher);
    }
    CloseHandle(folder);

    if (!dllsReady || held == INVALID_HANDLE_VALUE) {
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        return false;
    }
    if (!placed) logLine(L"Reusing:\t\t%s\n", paths.privateCopy);
    heldCopy = held;
    return true;
}

} // namespace

bool installPrivateLauncher(const wchar_t* exePath, size_t exeDirLen) {
    releasePrivateLauncher();
    if (!composePrivateLauncherPaths(exePath, exeDirLen)) return false;
    if (!installPrivateCopy(exePath + exeDirLen + 1)) return false;
    copyText(plainLauncher, PATH_CAPACITY, paths.sourceLauncher);
    copyText(launcherPath, PATH_CAPACITY, paths.privateCopy);
    return true;
}

bool switchToPlainLauncher() {
    if (plainLauncher[0] == 0) return false;
    logLine(L"Start failed:\t%s\n", launcherPath);
    copyText(launcherPath, PATH_CAPACITY, plainLauncher);
    releasePrivateLauncher();
    return true;
}

void releasePrivateLauncher() {
    if (heldCopy != INVALID_HANDLE_VALUE) CloseHandle(heldCopy);
    heldCopy = INVALID_HANDLE_VALUE;
    plainLauncher[0] = 0;
}
