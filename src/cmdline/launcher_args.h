// The child's command line after the program path, built in launcherArgs.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "core/bounded_text.h"

// Appends the JVM options (CFG_JVM_OPTIONS and the options file, expanded;
// after a restart -Dqdlauncher.restarted=<restartCount>), the module form
// (with CFG_MODULE) or else the classpath or jar form, the fixed arguments
// (CFG_APP_ARGS) and the user's arguments less the launcher's switches to
// launcherArgs. 0 when the launch
// cannot go on: CFG_MAIN_CLASS without CFG_CLASSPATH (messageText unchanged),
// or a piece that does not fit (the reason is added to messageText).
int assembleLauncherArgs(const wchar_t* argumentText, const wchar_t* exePath, size_t exeDirLen, BOOL jarInExe);

// Removes every "--qd-" switch from `text`, in place: the switch, everything
// up to the next space, and that space; a switch with nothing after its space
// ends the text where it began. Returns the length of what remains.
size_t stripLauncherSwitches(wchar_t* text);

// Splits `classpath` (`length` characters, changed in place) at ";" and appends
// each item followed by ";" to `args`; an item with "*" or "?" is replaced by
// every entry the directory search finds for it. Logs each item and entry.
// 0 when something does not fit (the reason is added to messageText).
int appendClasspathItems(TextBuffer& args, wchar_t* classpath, size_t length);

// The same for the module path, except that a relative item (neither rooted nor
// on a drive) is joined to the folder `anchor` (`anchorLength` characters, the
// executable's folder) before it is logged, searched and appended: the module
// path must not depend on the folder the application was started in.
int appendModulePathItems(TextBuffer& args, wchar_t* modulePath, size_t length, const wchar_t* anchor,
                          size_t anchorLength);
