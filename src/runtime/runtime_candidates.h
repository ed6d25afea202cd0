// One runtime folder offered by a source: checked on disk, its version read,
// held against the bounds and ranked against the others of the same source.
// Every candidate writes one log line: found, or ignored and why.
#pragma once

#include <windows.h>

#include "runtime/java_version.h"

// Starts a source: nothing found yet, no folder seen yet.
void beginCandidates(const VersionBounds& bounds);

// `subject` is what the log names (see candidateSubject); `rawHome` the home
// folder as stored (quotes, trailing backslashes and blanks are dropped);
// `versionName` a key name that carries the version, or nullptr to use the
// home's own folder name when the runtime has no "release" file.
void considerCandidate(const wchar_t* subject, const wchar_t* rawHome, const wchar_t* versionName);

// Logs an entry of a source that never became a folder to look at.
void ignoreCandidate(const wchar_t* subject, const wchar_t* reason);

// "origin = value" (or the value alone when origin is nullptr) in a buffer
// that the next call reuses.
const wchar_t* candidateSubject(const wchar_t* origin, const wchar_t* value);

// The best acceptable candidate of the source: its runtime folder (the home,
// or home\jre for a JDK 8 layout) and the text of its version.
bool bestCandidate(const wchar_t** runtimeDir, const wchar_t** versionText);

// Whether `path` names a file (not a folder), or a folder.
bool isExistingFile(const wchar_t* path);
bool isExistingFolder(const wchar_t* path);
// A path as stored in the registry or the environment, without surrounding
// blanks, one pair of quotes and trailing separators: its start, and its
// length in *length.
const wchar_t* trimStoredPath(const wchar_t* raw, size_t* length);
// The last folder or file name of a path.
const wchar_t* lastFolderName(const wchar_t* path);
// Case-insensitive comparison of two names or paths, as the file system does.
bool sameName(const wchar_t* a, const wchar_t* b);
