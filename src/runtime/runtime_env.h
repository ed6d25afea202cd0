// What the child inherits: Path, configured environment variables, creation
// flags, and which program file it runs.
#pragma once

#include <stddef.h>

// Sets launcherPath, priorityClass and jarInExe.
int prepareRuntimeEnvironment(const wchar_t* argumentText, const wchar_t* exePath, size_t exeDirLen);
