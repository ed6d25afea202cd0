// Which of the two launchers this build is. Both come from the same sources;
// the one compile-time switch QD_CONSOLE makes the console launcher:
//
//   GUI launcher (qdlauncher.exe)       console launcher (qdlauncher-console.exe)
//   wWinMain, GUI subsystem             wmain, console subsystem
//   child javaw.exe                     child java.exe (runtime/runtime_program.h)
//   child's error output captured       child shares the launcher's console and
//   (and standard output on request)    its standard input, output and error
//   reports in a message box            reports on standard error
//   low-memory question in a box        asked on the console, or not at all
//   splash screen, CFG_WAIT             ignored
//
// Code that differs tests CONSOLE_LAUNCHER in an ordinary `if`: both branches
// are compiled in both builds (so the console pieces stay unit-testable), and
// the optimiser drops the branch a build does not take.
#pragma once

#ifdef QD_CONSOLE
constexpr bool CONSOLE_LAUNCHER = true;
#else
constexpr bool CONSOLE_LAUNCHER = false;
#endif
