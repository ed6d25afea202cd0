// The one way the launcher reports a failure: a message box with messageText
// (plus the system's text for failureCode), titled errorTitle, then the page in
// helpUrl; the report also closes the debug log. The console launcher writes
// the same text to standard error instead, and the page's address on a line
// of its own after it.
//
// Which system error code a report shows is carried with the failure in
// failureCode (core/failure.h explains the convention): call noteFailedCall or
// explainFailedCall right after the platform call that failed, explainFailure
// or clearFailureCode for a reason of the launcher's own.
#pragma once

// Shows the report with messageText and, when failureCode is not 0, an empty
// line and the system's text for it. The code belongs to the failure just
// reported: failureCode is 0 again afterwards. Sets reportShown: after a
// report the launcher does not restart the application.
void reportError();

// The text shown after the message for an error code the system has no text
// for: "System error code <decimal> (0x<hex>)." Exposed for tests.
void describeErrorCode(unsigned long code, wchar_t* buffer, unsigned long capacity);
