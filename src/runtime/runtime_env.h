// What the child inherits: Path, configured environment variables, creation
// flags, and which program file it runs.
#pragma once

#include <windows.h>
#include <stddef.h>

// Extends Path with runtimeHome's bin directory, sets the CFG_ENV_VARS
// variables, reads priorityClass and jarInExe, and turns runtimeHome into
// launcherPath (the runtime's own launcher or a private copy of it).
int prepareRuntimeEnvironment(const wchar_t* exePath, size_t exeDirLen);

// Appends ";" and `dir` to the process's Path. 0, with Path unchanged, when the
// value would be longer than 32766 characters or cannot be set.
int appendToPath(const wchar_t* dir);

// Applies CFG_ENV_VARS: tab-separated NAME=value items, each value expanded
// and set before the next item is expanded. 0 only when the launch must be
// refused (an expanded value too long for the environment).
int applyConfiguredVariables(const wchar_t* exePath, size_t exeDirLen);

// The child's creation flags from CFG_PRIORITY: the one priority class it
// names; 0 (the system's default) when it names none or several. No other
// creation flag passes. Pure.
DWORD priorityClassFlags(int configured);

// One CFG_ENV_VARS item taken apart at its first "=". Pure.
struct VariableItem {
    const wchar_t* name;     // points into the item
    size_t nameLength;
    const wchar_t* rawValue; // after the "=", up to the item's end
    size_t rawValueLength;
};
// Finds the next item at or after *cursor in a tab-separated text (runs of
// tabs and tabs at either end give no empty items); false when none is left.
// *itemLength is the item's length; *cursor moves past it. Pure.
bool nextVariableItem(const wchar_t** cursor, const wchar_t** item, size_t* itemLength);
// False when the item has no "=". Pure.
bool splitVariableItem(const wchar_t* item, size_t itemLength, VariableItem* parts);

// Sets launcherPath: the runtime's own launcher, or with usePrivate, for the
// bundled runtime only (bundledRuntime), a copy of it named like this
// executable beside it in runtimeHome\bin (private_launcher.h). Every failure
// on the private path falls back to the runtime's own launcher. False only
// when even that path does not fit (the report is then explained).
bool preparePrivateLauncher(bool usePrivate, const wchar_t* exePath, size_t exeDirLen);

// The environment the launcher started with, kept so that a restart prepares
// the next child's on a clean slate: without it Path would gain the runtime's
// bin folder once more with every restart, and a CFG_ENV_VARS value that
// refers to its own variable would grow.
//
// Keeps the process's environment block as it is now (the system's copy,
// held to the end of the process). False when the system cannot give it.
bool saveEnvironment();
// Puts the environment back as saveEnvironment found it: a variable set
// since is removed, every saved one gets its saved value again. Names that
// begin with "=" (the per-drive current folders) are left alone. False when
// nothing was saved or the present environment cannot be read.
bool restoreEnvironment();

// One "NAME=value" entry of an environment block. Pure.
struct EnvironmentEntry {
    const wchar_t* name;    // points into the block
    size_t nameLength;
    const wchar_t* value;   // after the "=", terminated by the entry's end
};
// The next entry at or after *cursor in a block of zero-terminated entries
// that ends with an empty one; false at the block's end. *cursor moves past
// the entry. An entry without "=" after its first character has an empty
// value. Pure.
bool nextEnvironmentEntry(const wchar_t** cursor, EnvironmentEntry* entry);
// The value of `name` (`length` characters, any case) in a block, or nullptr.
const wchar_t* findEnvironmentValue(const wchar_t* block, const wchar_t* name, size_t length);
