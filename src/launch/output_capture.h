// Copies what the child writes to its error output (and, with "--qd-stdout",
// its standard output) into temporary files while it runs, and reports a
// start-up that failed quickly with output.
#pragma once

#include <windows.h>

// Thread procedures: temporary files "QD_*.tmp" (error output) and "QO_*.tmp"
// (standard output) in the user's temporary directory. Result 0 after the copy,
// (DWORD)-1 when the temporary file could not be set up.
DWORD WINAPI captureStderr(LPVOID unused);
DWORD WINAPI captureStdout(LPVOID unused);

// After the threads were collected and the read ends closed: deletes an empty
// error-output file and, when the child wrote anything and the run took less
// than 10 seconds since the child's start, reports the failed start with the
// names of the capture files.
void reportQuickFailure();

// Appended after the capture files' names in a quick-failure report.
extern const wchar_t supportNotice[];
