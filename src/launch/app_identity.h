// The application's own identity on the taskbar.
//
// Windows groups taskbar buttons, and pins, by a process's AppUserModelID.
// Without an explicit one, the application's windows belong to the runtime's
// javaw.exe: every Java application shares its group, and a pin starts
// javaw.exe alone, which runs nothing. With CFG_APP_USER_MODEL_ID the
// launcher's own process (the splash, the reports, the low-memory question)
// and the child take the application's ID, so they share one button of their
// own, which a Start-menu shortcut carrying the same ID ties to that shortcut.
#pragma once

#include <windows.h>

// Reads CFG_APP_USER_MODEL_ID into appUserModelId and gives the launcher's own
// process that ID. Call it before the process has any window: Windows asks
// for a process's ID to be set before it presents anything. A call that
// fails never stops the launch (logAppUserModelId tells of it): the child
// still gets the ID. Without the record, with an empty one and in the console
// launcher it does nothing, and loads nothing.
void adoptAppUserModelId();

// Logs the ID and whether the launcher's own process took it; it runs before
// the debug log is open, so this comes once the log is.
void logAppUserModelId();

// Marks the child's start-up information with the ID when there is one
// (STARTF_TITLEISAPPID, the ID as its title): the child's process then starts
// with that ID, before the application can show a window.
void passAppUserModelId(STARTUPINFOW& startup);
