// Choosing the Java runtime: the configured runtime directory, else the best
// registered runtime within the configured version bounds.
#pragma once

#include <stddef.h>

// Sets runtimeHome; on failure leaves the report's text in messageText.
int locateRuntime(const wchar_t* exePath, size_t exeDirLen);

// Appends "\bin\javaw.exe" (no second backslash) to a 260-unit path buffer;
// false, with the buffer unchanged, when the result would not fit.
bool appendLauncherName(wchar_t* path);

// Whether runtimeHome holds a runtime with its launcher program.
bool checkLauncher();
