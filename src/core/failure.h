// The pending failure: the report's text in messageText and the system error
// code in failureCode (both launch_state.h). diag/error_report.h shows it.
#pragma once

// The convention for every step: a step that fails because a platform call
// failed captures that call's code in failureCode right after it
// (noteFailedCall or explainFailedCall) and so carries it with the failure to
// the report. reportError shows that value and never reads the thread's
// last-error value, so whatever calls succeed in between (record reads, log
// lines, probes, a search) cannot change what the report says. A failure of
// the launcher's own sets 0 (explainFailure does; a step that only loads a
// message calls clearFailureCode). Never save and restore GetLastError to
// protect a report.

// Keeps the calling thread's last-error code as the code of the pending
// failure. Call it right after the platform call that failed, before anything
// else can change that value.
void noteFailedCall();

// The pending failure is the launcher's own: no system text goes with it.
void clearFailureCode();

// Appends to messageText. A text that does not fit is cut at the capacity (never
// inside a surrogate pair) and the cut is marked with "..." so the start of the
// message stays intact and the reader can tell something is missing.
void appendToMessage(const wchar_t* text);
void appendToMessage(const char* ascii);

// Adds a reason of the launcher's own to the pending report, on a paragraph of
// its own after whatever messageText holds; no system text goes with it.
void explainFailure(const wchar_t* reason);
void explainFailure(const char* ascii);

// The same for a failed platform call: call it right after that call; its
// error code follows the reason in the report.
void explainFailedCall(const char* ascii);

// The same for a reason that names something: `before`, `subject`, `after`.
void explainFailureAbout(const char* before, const wchar_t* subject, const char* after);
