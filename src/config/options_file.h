// The per-executable options file "<name>.qd.ini" with further JVM options.
//
// The file is single bytes (each byte one ISO 8859-1 character), any number of
// lines, "#" starts a comment that runs to the end of its line, and every line
// break becomes at most one blank. The reader appends the result to the JVM
// options text; a missing or unreadable file simply adds nothing.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "core/bounded_text.h"

// Appends the options file's filtered text to `jvmOptionsText`.
void readOptionsFile(const wchar_t* exePath, TextBuffer& jvmOptionsText);

// --- The parts around the file access (for tests) --------------------------

// The JVM options text and the file together stay within this many characters.
const size_t OPTIONS_READ_LIMIT = 31744;

// "<exePath less its last three characters>qd.ini" into `path` (capacity
// PATH_CAPACITY); false, with `path` empty, when that name would not fit, so a
// cut name can never open some other file.
bool optionsFilePathFor(const wchar_t* exePath, wchar_t* path);

// How many bytes may be read after `optionsLength` characters: never negative.
size_t optionsReadLimit(size_t optionsLength);

// Appends the options text of `count` bytes to `jvmOptionsText`: comments and
// line breaks handled, the data ending at a 0x1A byte or at a zero byte, and a
// blank after the result when anything was taken.
void appendOptionsText(TextBuffer& jvmOptionsText, const unsigned char* bytes, size_t count);

// Reads once from an open file (at most the read limit) and appends what it
// holds. A failed read adds nothing.
void appendOptionsFromFile(HANDLE file, TextBuffer& jvmOptionsText);
