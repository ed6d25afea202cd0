// The per-executable options file "<name>.qd.ini" with further JVM options.
#pragma once

#include "launch/bounded_text.h"

// Appends the options file's filtered text to `jvmOptionsText`.
void readOptionsFile(const wchar_t* exePath, TextBuffer& jvmOptionsText);
