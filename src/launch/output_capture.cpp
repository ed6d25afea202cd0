#include "launch/output_capture.h"

#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "diag/error_report.h"

namespace {

const wchar_t NO_CAPTURE_FILE[] = L"(the output could not be saved: the temporary directory is not usable)";
const DWORD COPY_BUFFER_BYTES = 4096;
const ULONGLONG QUICK_FAILURE_MS = 10000;
const DWORD THREAD_JOIN_MS = 1000;
const DWORD CANCEL_RETRY_MS = 20;
const wchar_t REPLACEMENT_CHARACTER = 0xFFFD;

// Built at report time; static so the report needs no large stack frame.
wchar_t noticeText[MESSAGE_CAPACITY];
wchar_t excerptText[EXCERPT_MAX_CHARS + 1];
wchar_t decodedHead[CAPTURE_HEAD_BYTES];

// Creates the channel's temporary file; the handle stays with the thread.
HANDLE openCaptureFile(CaptureChannel& channel) {
    wchar_t tempDir[PATH_CAPACITY] = {};
    DWORD length = GetTempPathW(PATH_CAPACITY, tempDir);
    if (length == 0 || length >= PATH_CAPACITY) return INVALID_HANDLE_VALUE;
    if (GetTempFileNameW(tempDir, channel.prefix, 0, channel.path) == 0) return INVALID_HANDLE_VALUE;
    return CreateFileW(channel.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool threadEnded(HANDLE thread, DWORD waitMs) { return WaitForSingleObject(thread, waitMs) == WAIT_OBJECT_0; }

// Keeps the first bytes of the output for the report's excerpt.
void keepHead(CaptureChannel& channel, const char* bytes, DWORD count) {
    if (channel.head == nullptr) return;
    DWORD room = CAPTURE_HEAD_BYTES - channel.headLength;
    DWORD take = count < room ? count : room;
    for (DWORD i = 0; i < take; ++i) channel.head[channel.headLength + i] = bytes[i];
    channel.headLength += take;
}

// The length of `bytes` without a UTF-8 sequence that the end cuts short.
size_t withoutCutUtf8Sequence(const unsigned char* bytes, size_t count) {
    for (size_t back = 1; back <= 4 && back <= count; ++back) {
        unsigned char b = bytes[count - back];
        if ((b & 0xC0) == 0x80) continue; // a continuation byte: look further back
        size_t needed = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return needed > back ? count - back : count;
    }
    return count;
}

// The length of `bytes` without a lead byte of `codePage` that lost its second byte.
size_t withoutCutDoubleByte(const unsigned char* bytes, size_t count, UINT codePage) {
    size_t i = 0;
    while (i < count) {
        if (!IsDBCSLeadByteEx(codePage, bytes[i])) {
            ++i;
        } else if (i + 1 < count) {
            i += 2;
        } else {
            return i;
        }
    }
    return count;
}

// What the child wrote as UTF-16. Output that is valid UTF-8 is taken as
// UTF-8 (the runtime writes it when told to, and other text with bytes above
// 127 is hardly ever valid UTF-8); any other output is read in `codePage`,
// the encoding a Java runtime uses for an output that is not a console.
size_t decodeOutput(const char* bytes, size_t count, UINT codePage, wchar_t* out, size_t capacity) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes);
    int utf8Count = static_cast<int>(withoutCutUtf8Sequence(data, count));
    int units = utf8Count == 0 ? 0
                               : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, utf8Count, out,
                                                     static_cast<int>(capacity));
    if (units > 0) return static_cast<size_t>(units);
    int localCount = static_cast<int>(withoutCutDoubleByte(data, count, codePage));
    if (localCount == 0) return 0;
    units = MultiByteToWideChar(codePage, 0, bytes, localCount, out, static_cast<int>(capacity));
    return units > 0 ? static_cast<size_t>(units) : 0;
}

// A character that cannot upset the message box: a TAB becomes a blank;
// other control characters (a zero would end the text), the characters that
// reorder text (directional marks, embeddings, overrides and isolates) and
// the line and paragraph separators show as U+FFFD.
wchar_t harmless(wchar_t c) {
    if (c == L'\t') return L' ';
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return REPLACEMENT_CHARACTER;
    if (c == 0x061C || c == 0x200E || c == 0x200F) return REPLACEMENT_CHARACTER;
    if ((c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) return REPLACEMENT_CHARACTER;
    return c;
}

void appendHarmless(TextBuffer& out, const wchar_t* text, size_t count) {
    for (size_t i = 0; i < count; ++i) appendChar(out, harmless(text[i]));
}

// The support lines at the end of the report: the requirements page and the
// contact, each only as the application's own records give it.
void buildSupportNotice(TextBuffer& notice) {
    wchar_t value[URL_CAPACITY];
    if (loadConfigString<CFG_REQUIREMENTS_URL>(value) && value[0] != 0) {
        appendText(notice, "\nMake sure your computer meets the minimum requirements\n");
        appendText(notice, value);
    }
    if (loadConfigString<CFG_SUPPORT_CONTACT>(value) && value[0] != 0) {
        appendText(notice, "\nContact ");
        appendText(notice, value);
        appendText(notice, " for further information.");
    }
}

// Appends the excerpt of the error output on a paragraph of its own, with
// what room messageText has left once the support lines (`notice`, which then
// become a paragraph of their own after it) are kept free.
void appendErrorExcerpt(const CaptureChannel& channel, const TextBuffer& notice) {
    // "\n\n" before the excerpt; one "\n" more before the support lines, if any.
    size_t separators = 2 + (notice.length > 0 ? 1 : 0);
    size_t used = textLength(messageText) + notice.length + separators;
    if (used >= MESSAGE_CAPACITY - 1) return;
    size_t room = MESSAGE_CAPACITY - 1 - used;
    size_t limit = room < EXCERPT_MAX_CHARS ? room : EXCERPT_MAX_CHARS;
    if (channel.head == nullptr || formatOutputExcerpt(channel.head, channel.headLength, CP_ACP, excerptText, limit) == 0)
        return;
    appendToMessage("\n\n");
    appendToMessage(excerptText);
    if (notice.length > 0) appendToMessage("\n");
}

} // namespace

// Reads the pipe until every write end is closed or the read is cancelled.
// When the file cannot take the data (set-up or a write failed) the pipe is
// still drained, so the child never blocks on a full pipe.
DWORD WINAPI captureOutput(LPVOID parameter) {
    CaptureChannel& channel = *static_cast<CaptureChannel*>(parameter);
    static_assert(COPY_BUFFER_BYTES == 4096, "one fixed 4 KiB buffer per thread");
    char buffer[COPY_BUFFER_BYTES];
    HANDLE file = openCaptureFile(channel);
    bool setUp = file != INVALID_HANDLE_VALUE;
    if (!setUp) {
        // Name no file in a report: remove what the system may have created.
        if (channel.path[0] != 0) DeleteFileW(channel.path);
        channel.path[0] = 0;
    }
    bool copying = setUp;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(channel.pipeRead, buffer, COPY_BUFFER_BYTES, &got, nullptr)) break;
        if (got == 0) continue; // a zero-length write by the child; the pipe is still open
        channel.seen = TRUE;
        keepHead(channel, buffer, got);
        if (!copying) continue;
        DWORD written = 0;
        if (!WriteFile(file, buffer, got, &written, nullptr)) {
            // A cancelled write means the launcher is collecting this thread: stop.
            if (GetLastError() == ERROR_OPERATION_ABORTED) break;
            copying = false;
        }
    }
    if (setUp) CloseHandle(file);
    return setUp ? 0 : static_cast<DWORD>(-1);
}

bool startCapture(CaptureChannel& channel) {
    channel.thread = CreateThread(nullptr, 0, captureOutput, &channel, 0, nullptr);
    if (channel.thread != nullptr) return true;
    noteFailedCall();
    return false;
}

bool collectCapture(CaptureChannel& channel) {
    if (channel.thread == nullptr) return false;
    bool ended = threadEnded(channel.thread, THREAD_JOIN_MS);
    // Something still holds the pipe's write end (a process the child started,
    // say): cancel the blocking read. A cancel that comes while the thread is
    // between two calls finds nothing to cancel, so it is repeated until the
    // thread has ended, for at most another second.
    ULONGLONG deadline = GetTickCount64() + THREAD_JOIN_MS;
    while (!ended) {
        CancelSynchronousIo(channel.thread);
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        ULONGLONG left = deadline - now;
        ended = threadEnded(channel.thread, left < CANCEL_RETRY_MS ? static_cast<DWORD>(left) : CANCEL_RETRY_MS);
    }
    CloseHandle(channel.thread); // the handle only; a running thread runs on
    channel.thread = nullptr;
    // A thread that did not end may still read its pipe: it keeps the read end
    // (and its file) to the end of the process, and its results are not read.
    if (!ended) return false;
    CloseHandle(channel.pipeRead);
    channel.pipeRead = nullptr;
    channel.ended = TRUE;
    return true;
}

void discardCapture(CaptureChannel& channel) {
    if (channel.ended && channel.path[0] != 0) DeleteFileW(channel.path);
    const wchar_t* prefix = channel.prefix;
    char* head = channel.head;
    channel = CaptureChannel{};
    channel.prefix = prefix;
    channel.head = head;
}

void discardEmptyCapture() {
    if (stderrCapture.ended && !stderrCapture.seen && stderrCapture.path[0] != 0) DeleteFileW(stderrCapture.path);
}

void reportQuickFailure() {
    bool stderrSeen = stderrCapture.ended && stderrCapture.seen;
    bool stdoutSeen = stdoutCapture.ended && stdoutCapture.seen;
    discardEmptyCapture();

    // An application that ended with 0 did not fail, whatever it wrote: Java
    // 17 and later print warnings at every start, and a user may close the
    // application within seconds.
    if (childExitCode == 0) return;
    ULONGLONG elapsed = GetTickCount64() - startTick;
    if (elapsed >= QUICK_FAILURE_MS) return;
    if (!stderrSeen && !stdoutSeen) return;

    // The support lines are read first: they keep their room, and the
    // excerpt takes what is left (a record too long for them explains itself
    // right after the start-up message).
    TextBuffer notice = emptyTextBuffer(noticeText, MESSAGE_CAPACITY);
    buildSupportNotice(notice);
    appendToMessage("\n");
    if (stdoutSeen) appendToMessage(stdoutCapture.path[0] != 0 ? stdoutCapture.path : NO_CAPTURE_FILE);
    if (stdoutSeen && stderrSeen) appendToMessage("\nAnd file\n");
    if (stderrSeen) appendToMessage(stderrCapture.path[0] != 0 ? stderrCapture.path : NO_CAPTURE_FILE);
    // The sentence explains the files, so it follows them at once.
    appendToMessage("\nContains additional information about the process execution.");
    if (stderrSeen) appendErrorExcerpt(stderrCapture, notice);
    appendToMessage(noticeText);
    // The report is about the child's failed start: the files say what went
    // wrong, no system text does.
    clearFailureCode();
    reportError();
}

size_t formatOutputExcerpt(const char* bytes, size_t count, UINT codePage, wchar_t* out, size_t limit) {
    TextBuffer excerpt = emptyTextBuffer(out, limit + 1);
    if (count > CAPTURE_HEAD_BYTES) count = CAPTURE_HEAD_BYTES;
    size_t length = decodeOutput(bytes, count, codePage, decodedHead, CAPTURE_HEAD_BYTES);
    const wchar_t* text = decodedHead;
    if (length > 0 && text[0] == 0xFEFF) { // a byte order mark says nothing
        ++text;
        --length;
    }
    size_t lines = 0;
    size_t at = 0;
    while (at < length && lines < EXCERPT_MAX_LINES) {
        size_t end = at;
        while (end < length && text[end] != L'\r' && text[end] != L'\n') ++end;
        if (end > at) { // empty lines are left out
            size_t separator = lines > 0 ? 1 : 0;
            size_t lineLength = end - at;
            if (excerpt.length + separator + lineLength > limit) {
                // Cut the line where "..." still fits, never inside a surrogate pair.
                size_t room = limit - excerpt.length;
                if (room <= separator + 3) break;
                size_t take = room - separator - 3;
                if (isHighSurrogate(text[at + take - 1])) --take;
                if (take == 0) break;
                if (separator) appendChar(excerpt, L'\n');
                appendHarmless(excerpt, text + at, take);
                appendText(excerpt, "...");
                break;
            }
            if (separator) appendChar(excerpt, L'\n');
            appendHarmless(excerpt, text + at, lineLength);
            ++lines;
        }
        // CR LF is one line break; a lone CR or LF is one too.
        at = end;
        if (at < length && text[at] == L'\r') ++at;
        if (at < length && text[at] == L'\n') ++at;
    }
    return excerpt.length;
}
