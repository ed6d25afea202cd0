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
    appendText(message, L"...");
}

void noteFailedCall() { failureCode = GetLastError(); }

void clearFailureCode() { failureCode = 0; }

void explainFailure(const wchar_t* reason) {
    if (messageText[0] != 0) appendToMessage(L"\n\n");
    appendToMessage(reason);
    clearFailureCode();
}

void explainFailedCall(const wchar_t* reason) {
    DWORD code = GetLastError();
    explainFailure(reason);
    failureCode = code;
}

void explainFailureAbout(const wchar_t* before, const wchar_t* subject, const wchar_t* after) {
    static wchar_t reason[MESSAGE_CAPACITY];
    TextBuffer b = emptyTextBuffer(reason, MESSAGE_CAPACITY);
    appendText(b, before);
    appendText(b, subject);
    appendText(b, after);
    explainFailure(reason);
}
