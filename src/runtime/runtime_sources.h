// The installed runtimes of today's machines, searched in the sources that
// CFG_RUNTIME_SOURCES lists:
//   registry   the keys installers write today, HKLM then HKCU, 64-bit view;
//   java_home  the JAVA_HOME environment variable;
//   path       the runtime program found in a Path folder;
//   folders    the usual install folders under %ProgramFiles% and
//              %LOCALAPPDATA%\Programs.
// The first source that yields an acceptable runtime wins; within a source
// the highest acceptable version wins, of equal ones the first seen. Every
// candidate is checked on disk, and its version is taken from its "release"
// file, else from the key or folder name.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "runtime/java_version.h"

enum RuntimeSource { SOURCE_REGISTRY, SOURCE_JAVA_HOME, SOURCE_PATH, SOURCE_FOLDERS };
enum : size_t { RUNTIME_SOURCE_KINDS = 4 };

struct RuntimeSourceList {
    RuntimeSource items[RUNTIME_SOURCE_KINDS];
    size_t count;
};

// The word of a source as CFG_RUNTIME_SOURCES writes it ("registry", ...).
const wchar_t* runtimeSourceWord(RuntimeSource source);

// Reads a ";"-separated list of source words; blanks around a word are
// allowed, case does not matter, a word given twice counts once. False for an
// empty item or an unknown word, with *badItem and *badLength naming it. Pure.
bool parseRuntimeSources(const wchar_t* text, RuntimeSourceList* list, const wchar_t** badItem, size_t* badLength);

enum SourcesRecord { SOURCES_ABSENT, SOURCES_LISTED, SOURCES_REFUSED };
// Reads CFG_RUNTIME_SOURCES. SOURCES_REFUSED when the record is damaged or
// names something that is not a source; messageText then says why.
SourcesRecord loadRuntimeSources(RuntimeSourceList* list);

// Logs a bundled runtime folder (runtimeHome) that exists but holds no
// runtime program, as a runtime image linked with --strip-native-commands.
void noteBundledRuntimeWithoutProgram();

// Reads minVersion and maxVersion as Java versions (empty: no bound). False,
// with the refusal in messageText, when a bound is not a version.
bool readVersionBounds(VersionBounds* bounds);

// A registry key under HKEY_LOCAL_MACHINE whose subkeys are version names, and
// the family a match there records in foundRuntime.
enum : DWORD { FAMILY_NONE = 0, FAMILY_RUNTIME = 1, FAMILY_DEVELOPMENT_KIT = 2 };
struct RuntimeFamilyKey {
    const wchar_t* keyPath;
    DWORD family;
};

// The keys of one vendor's pair (runtime key, development-kit key) searched
// for a CFG_SEARCH_ORDER value, in order: 0 the runtime key only, 2 the
// development kit first, 3 the development kit only, anything else the runtime
// key first. Returns how many of `searched` are filled (1 or 2).
size_t familySearchOrder(int searchOrder, const RuntimeFamilyKey (&pair)[2], RuntimeFamilyKey (&searched)[2]);

// Searches the sources in their order; true with runtimeHome set to the chosen
// runtime's folder (the one whose bin holds the program). `searchOrder` is
// CFG_SEARCH_ORDER: which of a vendor's runtime and development-kit keys are
// read, and in which order.
bool searchRuntimeSources(const RuntimeSourceList& list, int searchOrder, const VersionBounds& bounds);

// Adds "\nSearched: registry, java_home" (the listed words) to messageText.
void appendSearchedSources(const RuntimeSourceList& list);
