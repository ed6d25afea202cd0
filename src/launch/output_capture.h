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

// After a collected channel's child wrote nothing and is to be followed by
// another: deletes its empty temporary file and makes the channel ready for
// a new pipe and thread (its prefix and head buffer stay).
void discardCapture(CaptureChannel& channel);

// After the channels were collected: deletes the error-output file when the
// child wrote nothing there (the standard-output file always stays).
void discardEmptyCapture();

// After the channels were collected: deletes an empty error-output file and,
// when the child ended with an exit code other than 0, wrote anything, and the
// run took less than 10 seconds since the child's start, reports the failed
// start: the names of the capture files with the sentence that explains them,
// the first lines of the error output, then the requirements page and the
// contact as CFG_REQUIREMENTS_URL and CFG_SUPPORT_CONTACT give them. Only
// channels whose thread ended are read.
void reportQuickFailure();

enum : size_t {
    EXCERPT_MAX_LINES = 10,
    EXCERPT_MAX_CHARS = 800,
};

// The start of captured output as the report shows it, into `out` (capacity
// limit + 1): its first EXCERPT_MAX_LINES non-empty lines, joined by "\n",
// in at most `limit` characters; a line that does not fit is cut (never inside
// a surrogate pair) and ends with "...". Valid UTF-8 is read as UTF-8, other
// bytes in `codePage`; a sequence the end of `bytes` cuts short is left out.
// CR LF, CR and LF each end a line; TAB becomes a blank, and other control
// characters, direction-changing characters and the line and paragraph
// separators U+FFFD. Returns the excerpt's length.
size_t formatOutputExcerpt(const char* bytes, size_t count, UINT codePage, wchar_t* out, size_t limit);
