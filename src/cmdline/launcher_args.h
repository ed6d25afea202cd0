// The child's command line after the program path, built in launcherArgs.
#pragma once

#include <windows.h>
#include <stddef.h>

// Appends the JVM options, the classpath or jar form, the fixed arguments and
// the user's arguments to launcherArgs; 0 when the launch cannot go on.
int assembleLauncherArgs(const wchar_t* argumentText, const wchar_t* exePath, size_t exeDirLen, BOOL jarInExe);

// Removes every "--qd-" switch from `text`, in place.
void stripLauncherSwitches(wchar_t* text);
