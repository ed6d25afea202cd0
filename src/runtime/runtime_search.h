// Choosing the Java runtime: the configured runtime directory, else the best
// registered runtime within the configured version bounds (or, with
// CFG_RUNTIME_SOURCES, the best one of the first listed source that has one;
// see runtime_sources.h).
#pragma once

#include <windows.h>
#include <stddef.h>

// Sets runtimeHome; on failure leaves the report's text in messageText (and,
// when no suitable runtime is registered, the download page in helpUrl).
// Reads CFG_RUNTIME_DIR, and only when that gives no launcher program
// CFG_RUNTIME_SOURCES, CFG_MIN_VERSION, CFG_MAX_VERSION and CFG_SEARCH_ORDER.
int locateRuntime(const wchar_t* exePath, size_t exeDirLen);

// Appends "\bin\javaw.exe" (the runtime program, runtime_program.h; no second
// backslash) to a 260-unit path buffer;
// false, with the buffer unchanged, when the result would not fit.
bool appendLauncherName(wchar_t* path);

// Whether runtimeHome holds a runtime with its launcher program (a file, not a
// directory). Logs the path tested.
bool checkLauncher();

// Searches the JavaSoft pair, then — only when nothing matched there — the IBM
// pair, within minVersion and maxVersion. Updates foundVersion,
// foundRuntimeKey and foundRuntime.
void searchInstalledRuntimes(int searchOrder);
// Opens one family key under HKEY_LOCAL_MACHINE and scans its subkeys.
void searchRuntimeFamily(const wchar_t* keyPath, DWORD family);
// Enumerates the subkeys of an open key and keeps the best version.
void scanVersionKeys(HKEY key, const wchar_t* keyPath, DWORD family);

// Subkey names longer than this are never candidates.
enum : size_t { VERSION_NAME_MAX = 127 };

// Whether a version subkey `name` lies within the inclusive bounds (an empty
// bound is no bound; with a lower bound an empty name never passes) and is
// strictly greater than `best` (empty: nothing found yet). Pure.
bool isBetterRuntimeVersion(const wchar_t* name, const wchar_t* lowerBound, const wchar_t* upperBound,
                            const wchar_t* best);

// -1, 0 or +1 for two non-empty version texts: components are compared as the
// numbers they start with, letters after a component's digits are not
// compared, and of two versions equal as far as the shorter goes the longer is
// greater. Pure.
int compareVersions(const wchar_t* a, const wchar_t* b);
// The same from a position inside each text onwards; nullptr stands for a text
// that is exhausted. Pure.
int compareVersionTails(const wchar_t* a, const wchar_t* b);
