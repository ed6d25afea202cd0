// The one way the launcher reports a failure: a message box with messageText
// (plus the system's text for the pending error code), titled errorTitle, then
// the page in helpUrl; the report also closes the debug log.
#pragma once

// Shows the report. Takes the calling thread's last-error code as input.
void reportError();

// Appends to messageText. A text that does not fit is cut at the capacity (never
// inside a surrogate pair) and the cut is marked with "..." so the start of the
// message stays intact and the reader can tell something is missing.
void appendToMessage(const wchar_t* text);

// Adds a reason of the launcher's own to the pending report, on a paragraph of
// its own after whatever messageText holds, and clears the pending error code
// so that no unrelated system text is added to it.
void explainFailure(const wchar_t* reason);

// The same for a reason that names something: `before`, `subject`, `after`.
void explainFailureAbout(const wchar_t* before, const wchar_t* subject, const wchar_t* after);

// The text shown after the message for an error code the system has no text
// for: "System error code <decimal> (0x<hex>)." Exposed for tests.
void describeErrorCode(unsigned long code, wchar_t* buffer, unsigned long capacity);
