// The one way the launcher reports a failure: a message box with messageText
// (plus the system's text for failureCode), titled errorTitle, then the page in
// helpUrl; the report also closes the debug log. The console launcher writes
// the same text to standard error instead, and the page's address on a line
// of its own after it.
//
// Which system error code a report shows is carried with the failure in
// failureCode (launch_state.h explains the convention): call noteFailedCall or
// explainFailedCall right after the platform call that failed, explainFailure
// or clearFailureCode for a reason of the launcher's own.
#pragma once

// Shows the report with messageText and, when failureCode is not 0, an empty
// line and the system's text for it. The code belongs to the failure just
// reported: failureCode is 0 again afterwards.
void reportError();

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

// Adds a reason of the launcher's own to the pending report, on a paragraph of
// its own after whatever messageText holds; no system text goes with it.
void explainFailure(const wchar_t* reason);

// The same for a failed platform call: call it right after that call; its
// error code follows the reason in the report.
void explainFailedCall(const wchar_t* reason);

// The same for a reason that names something: `before`, `subject`, `after`.
void explainFailureAbout(const wchar_t* before, const wchar_t* subject, const wchar_t* after);

// The text shown after the message for an error code the system has no text
// for: "System error code <decimal> (0x<hex>)." Exposed for tests.
void describeErrorCode(unsigned long code, wchar_t* buffer, unsigned long capacity);
