// %NAME% references in configured texts.
//
// Names, the first rule that applies deciding: EXEDIR (the executable's
// directory), EXEFILE (its full path), PWD (the current directory now), OLDPWD
// (the directory the launcher was started in) — all four case-sensitive and
// compared with the whole name —, a name beginning with HKEY (a registry
// value: root\key path\value name), and otherwise an environment variable.
// Every reference writes one "Substitute" log line with the whole name and what
// was inserted, also when nothing was.
//
// A literal percent sign is written "%%". A sign without a partner is kept as
// it is, with everything after it: references pair from the left, so only the
// last sign of a text can be left without one.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "core/bounded_text.h"

// Names longer than this are never looked up: they insert nothing (the log line
// is still written, with the whole name).
enum : size_t { VARIABLE_NAME_MAX = 127 };

// Appends `source` to `destination` with every %NAME% reference replaced and
// every "%%" turned into one percent sign. Returns 1 when the whole source was
// processed; 0 when the destination is full (what fitted stays, nothing is
// written past its capacity, and `overflowed` is set).
int expandVars(TextBuffer& destination, const wchar_t* source, const wchar_t* exePath, size_t exeDirLen);

// A registry reference taken apart: the root named by the name's prefix, the
// key path (after the first backslash, up to the last one) and the value name
// (after the last backslash; empty means the key's default value). With a
// single backslash the text after it is both the key path and the value name.
struct RegistryReference {
    HKEY root;
    wchar_t keyPath[VARIABLE_NAME_MAX + 1];
    wchar_t valueName[VARIABLE_NAME_MAX + 1];
};

// Splits a reference name such as HKEY_CURRENT_USER\Software\Vendor\Value.
// False when no root name is a prefix of the name, when it has no backslash,
// or when it is longer than VARIABLE_NAME_MAX. Pure: no registry access.
bool splitRegistryReference(const wchar_t* name, RegistryReference* reference);
