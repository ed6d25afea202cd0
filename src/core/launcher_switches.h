// The launcher's own switches: words of its command line that begin with
// "--qd-". They are read once, at the start of the run, into launcherSwitches
// (launch_state.h); every step asks that structure, never the command line.
//
// Each switch is found as a plain, case-sensitive substring anywhere in the
// argument text: inside a quoted argument or another word too. The child gets
// the argument text less every word that begins with the prefix
// (stripLauncherSwitches, cmdline/launcher_args.h), whether the launcher knows
// the word or not.
#pragma once

#include <stddef.h>

// What every switch begins with.
const wchar_t LAUNCHER_SWITCH_PREFIX[] = L"--qd-";
const size_t LAUNCHER_SWITCH_PREFIX_LENGTH = sizeof(LAUNCHER_SWITCH_PREFIX) / sizeof(wchar_t) - 1;

struct LauncherSwitches {
    bool debug;           // "--qd-debug": write the debug log
    bool captureStdout;   // "--qd-stdout": capture the child's standard output too
    bool noSplash;        // "--qd-no-splash": no configured splash screen
    bool noSplashError;   // "--qd-no-splash-err": the end of the splash countdown is no failure
    bool dontWait;        // "--qd-dont-wait": no message loop for CFG_WAIT
    bool defaultProgram;  // "--qd-default-proc": the runtime's own program, not the private copy
};

// The switches `argumentText` carries. An occurrence of "--qd-no-splash" that
// begins "--qd-no-splash-err" is that other switch and does not count as
// "--qd-no-splash". The console launcher reads only "--qd-debug" and
// "--qd-default-proc": the others are about what it does not have. Pure.
LauncherSwitches readLauncherSwitches(const wchar_t* argumentText);
