// The private launcher: a copy of the runtime's javaw.exe that bears this
// executable's file name, beside javaw.exe in the bundled runtime's bin folder.
//
// There the copy loads every DLL exactly as javaw.exe does: the system looks
// for the DLLs that a program, or any DLL it loads (even by full path),
// imports by name in the program's own folder first, and only later in the
// working directory and the Path folders.
//
// bin holds the runtime's own programs and DLLs, so the launcher writes,
// replaces and deletes there only what it placed itself: the marker
// "<name>.qd-launch" beside the copy lists the fingerprints of the files it
// placed for that name (the copy and its manifest, copy_marker.h), and
// anything else in the way means the runtime's own launcher is used.
//
// Several launches may share bin at the same moment (the same program started
// twice, several documents opened at once, two programs configured with one
// runtime). So they look at and place the files one at a time (a mutex named
// after bin), a copy only ever appears whole (made under a temporary name,
// then renamed into place), is used only when its content is the runtime's
// launcher byte for byte, and the copy and its manifest are held from that
// check until the child has started: while held, no other launch can delete,
// replace or change them.
#pragma once

#include <windows.h>
#include <stddef.h>

// Makes or reuses the copy for runtimeHome and holds it; true with its path in
// launcherPath. False, with nothing held and launcherPath untouched, whenever
// the runtime's own launcher is to be used instead: the executable bears the
// runtime program's own name, a file that is not the launcher's own is in the
// way, or the copy or its manifest cannot be put in place.
bool installPrivateLauncher(const wchar_t* exePath, size_t exeDirLen);

// Whether launcherPath is the private copy, so that the runtime's own launcher
// can still take its place.
bool runsPrivateCopy();

// Makes launcherPath the runtime's own launcher instead of the private copy
// and lets go of the copy. False when no private copy is in use.
bool switchToPlainLauncher();

// Lets go of the copy and its manifest once the child has started (the system
// then keeps the running program from being deleted or replaced); the
// runtime's own launcher can still take the copy's place afterwards.
void privateLauncherStarted();

// Lets go of everything: afterwards no private copy is in use.
void releasePrivateLauncher();

// Whether a child ended the way the system's loader ends a program it started
// but could not load (a DLL or an entry point missing, a DLL that is not a
// 64-bit one or failed its start, an application-control policy refusing a
// file): one of those status codes, within a few seconds of its start, having
// written nothing. A Java runtime that ran ends with none of them. Pure.
bool endedUnloaded(DWORD exitCode, ULONGLONG ranMs, bool wroteOutput);
