// Copies what the child writes to its error output (and, with "--qd-stdout",
// its standard output) into temporary files while it runs, and reports a
// start-up that failed quickly with output.
#pragma once

#include <windows.h>

struct CaptureChannel;

// Thread procedure; its parameter is the CaptureChannel it copies (launch_state.h)
// and it uses nothing else the launcher holds. The temporary file is
// "<prefix>*.tmp" in the user's temporary directory ("QD_" for the error
// output, "QO_" for the standard output). Result 0 after the copy, (DWORD)-1
// when the temporary file could not be set up.
DWORD WINAPI captureOutput(LPVOID channel);

// Starts the channel's thread; false, with the failed call's code noted, when
// it cannot be started.
bool startCapture(CaptureChannel& channel);

// After the child has ended: waits up to a second for the thread, then cancels
// its blocking I/O, repeatedly, for up to a second more. True when the thread
// ended: its read end is closed and its path and flag are final. False when
// there was no thread, or it is abandoned still running: it keeps its read end
// and its file, and the launcher touches neither again.
bool collectCapture(CaptureChannel& channel);

// After the channels were collected: deletes an empty error-output file and,
// when the child wrote anything and the run took less than 10 seconds since
// the child's start, reports the failed start with the names of the capture
// files. Only channels whose thread ended are read.
void reportQuickFailure();

// Appended after the capture files' names in a quick-failure report.
extern const wchar_t supportNotice[];
