// Restart on request: when the child ends with CFG_RESTART_EXIT_CODE, the
// launcher starts the application again in the same process, so the
// single-instance mutex stays held from one child to the next. An updater
// stages its files and exits with that code; the launcher then prepares the
// next child afresh (runtime, environment, heap, command line) with the same
// arguments, and adds -Dqdlauncher.restarted=<n> to its JVM options.
#pragma once

#include <windows.h>

// The exit code CFG_RESTART_EXIT_CODE asks to restart on, or 0 (no restarts)
// when it is one that another kind of end gives as well: 0 a normal end, 1
// Java's own failure (an exception out of main, a runtime that cannot
// start), 130 and 143 Java's end on Ctrl+C and on a closed console or
// shutdown, and everything outside 2 to 255, where the system's codes lie
// (a crash, STILL_ACTIVE). Pure.
DWORD usableRestartCode(int configured);

// A run of children that each asked for a restart within QUICK_RUN_MS of
// their start is cut off after QUICK_RESTARTS_MAX restarts: the launcher then
// ends with the child's code. A child that ran longer starts the count anew.
enum : int { QUICK_RESTARTS_MAX = 5 };
const ULONGLONG QUICK_RUN_MS = 60000;

enum RestartVerdict {
    RESTART_NOT_ASKED,      // the child ended with another code, or restarts are off
    RESTART_GO,
    RESTART_AFTER_REPORT,   // a report was shown (a splash timeout): the user was told the start failed
    RESTART_CAPTURE_HELD,   // an output capture did not end: its channel cannot serve the next child
    RESTART_NO_ENVIRONMENT, // the starting environment could not be saved (or put back): no clean slate
    RESTART_TOO_OFTEN,      // QUICK_RESTARTS_MAX quick restarts in a row already
};

struct RestartHistory {
    DWORD code;             // usableRestartCode of the record; 0: restarts off
    bool environmentSaved;
    int quickRestarts;      // restarts in a row whose child ran less than QUICK_RUN_MS
};

struct ChildEnd {
    DWORD exitCode;
    ULONGLONG runMs;        // from the child's start to its end's collection
    bool reportShown;
    bool captureHeld;
};

// Whether the ended child is followed by another; counts a restart that goes
// ahead in `history`. Pure.
RestartVerdict judgeRestart(RestartHistory& history, const ChildEnd& end);

// Logs why a restart that was asked for does not happen (nothing for
// RESTART_GO and RESTART_NOT_ASKED).
void logRefusedRestart(RestartVerdict verdict);
