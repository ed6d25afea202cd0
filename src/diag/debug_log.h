// The debug log "qd-launch.log" next to the executable, written only with the
// switch "--qd-debug" (launcherSwitches.debug).
//
// Bytes: each UTF-16 unit up to 0xFF becomes the byte of the same value
// (ISO 8859-1), every other unit a question mark; every line feed becomes
// carriage return + line feed. The file is opened for appending, exclusively,
// with a handle that no child inherits.
#pragma once

#include <stdarg.h>
#include <stddef.h>

// Opens the log when launcherSwitches.debug is set and writes the first line,
// which shows the executable and `argumentText`.
// Returns false only when the log was asked for and cannot be opened; the
// failed open's error code is then noted for the report.
bool openDebugLog(const wchar_t* argumentText);

// Writes one line when the log is open; a no-op otherwise. The format is
// ASCII (narrow, to keep the launcher small); %s a UTF-16 text, %d an int, %zd
// a 64-bit signed number (pass long long), %% a percent sign.
void logLine(const char* format, ...);

// Closes the log when it is open; afterwards nothing more is written.
void closeDebugLog();

// The bytes of one formatted line, as written to the file; never more than
// `capacity` bytes. Returns the number of bytes.
size_t formatLogBytes(char* out, size_t capacity, const char* format, va_list args);
