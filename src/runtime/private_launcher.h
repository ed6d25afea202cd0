// The private launcher: a copy of the runtime's javaw.exe that bears this
// executable's file name, in the folder qd-launch-tmp directly below the
// runtime home, with the runtime's own DLLs that it loads beside it.
//
// Several launches may share the folder at the same moment (the same program
// started twice, several documents opened at once, two programs configured
// with one runtime). So a copy only ever appears whole (made under a
// temporary name, then renamed into place), is used only when its content is
// the runtime's launcher byte for byte, and is held from that check until its
// child has started: while held, no other launch can delete, replace or
// change it.
#pragma once

#include <stddef.h>

// Makes or reuses the copy for runtimeHome and holds it; true with its path in
// launcherPath. False, with nothing held and launcherPath untouched, whenever
// the runtime's own launcher is to be used instead: the folder is a link or
// not a folder, cannot be created, or a copy or one of its DLLs cannot be put
// in place.
bool installPrivateLauncher(const wchar_t* exePath, size_t exeDirLen);

// After the private copy failed to start: lets go of it and makes launcherPath
// the runtime's own launcher. False when no private copy is in use.
bool switchToPlainLauncher();

// Lets go of the private copy once its child has started (the system then
// keeps the running program from being deleted or replaced).
void releasePrivateLauncher();
