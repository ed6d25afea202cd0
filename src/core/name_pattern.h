// Whether a file's own (long) name matches a wildcard pattern.
//
// The system's directory search matches a pattern against a file's long name
// and against its 8.3 short name, so "*.jar" also finds "x.jar_old" through
// its short name X~1.JAR. Every search whose entries the launcher acts on
// (classpath wildcards, the private folder's cleaning) passes each entry
// through this check, which looks at the long name only.
#pragma once

#include <stddef.h>

// `*` matches any run of characters, `?` one character or none (the search
// lets it match nothing at the end of a name or before a dot), and a `.`
// followed only by wildcards also matches the end of a name without a dot
// ("*.*" matches every name, "a.*" matches "a"). Letters are compared without
// regard to case, as the file system does. This accepts at least every long
// name the directory search accepts, so it only ever drops entries that the
// search found through their short names. `patternLength` characters of
// `pattern` are used; patterns longer than 259 characters match nothing.
bool longNameMatches(const wchar_t* name, const wchar_t* pattern, size_t patternLength);
