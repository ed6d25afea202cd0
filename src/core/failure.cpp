#include "core/failure.h"

#include "core/bounded_text.h"
#include "core/launch_state.h"

void appendToMessage(const wchar_t* text) {
    TextBuffer message = textBufferOver(messageText, MESSAGE_CAPACITY);
    if (appendText(message, text)) return;
    // Mark the cut once; the three dots replace the last characters that fitted.
    size_t n = message.length;
    if (n >= 3 && messageText[n - 1] == L'.' && messageText[n - 2] == L'.' && messageText[n - 3] == L'.') return;
    size_t keep = n >= 3 ? n - 3 : 0;
    if (keep > 0 && isHighSurrogate(messageText[keep - 1])) --keep;
    truncateText(message, keep);
    appendText(message, "...");
}

namespace {

// A text of bytes as UTF-16 in `wide`, for the forms that take the launcher's
// own sentences as bytes. Each form has a buffer of its own, since one calls
// the other.
const wchar_t* widened(wchar_t (&wide)[MESSAGE_CAPACITY], const char* bytes) {
    TextBuffer b = emptyTextBuffer(wide, MESSAGE_CAPACITY);
    appendText(b, bytes);
    return wide;
}

wchar_t reasonWidened[MESSAGE_CAPACITY];
wchar_t messagePartWidened[MESSAGE_CAPACITY];

} // namespace

void appendToMessage(const char* ascii) { appendToMessage(widened(messagePartWidened, ascii)); }

void noteFailedCall() { failureCode = GetLastError(); }

void clearFailureCode() { failureCode = 0; }

void explainFailure(const wchar_t* reason) {
    if (messageText[0] != 0) appendToMessage("\n\n");
    appendToMessage(reason);
    clearFailureCode();
}

void explainFailure(const char* ascii) { explainFailure(widened(reasonWidened, ascii)); }

void explainFailedCall(const char* reason) {
    DWORD code = GetLastError();
    explainFailure(reason);
    failureCode = code;
}

void explainFailureAbout(const char* before, const wchar_t* subject, const char* after) {
    static wchar_t reason[MESSAGE_CAPACITY];
    TextBuffer b = emptyTextBuffer(reason, MESSAGE_CAPACITY);
    appendText(b, before);
    appendText(b, subject);
    appendText(b, after);
    explainFailure(reason);
}
