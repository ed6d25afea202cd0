#include "launch/output_capture.h"

#include "diag/error_report.h"
#include "launch/bounded_text.h"
#include "launch/launch_state.h"

const wchar_t supportNotice[] =
    L"\nContains additional information about the process execution."
    L"\nMake sure your computer meets the minimum requirements"
    L"\nhttps://qdlauncher.example.com/requirements"
    L"\nContact support@qdlauncher.example.com for further information.";

namespace {

const wchar_t NO_CAPTURE_FILE[] = L"(the output could not be saved: the temporary directory is not usable)";
const DWORD COPY_BUFFER_BYTES = 4096;
const ULONGLONG QUICK_FAILURE_MS = 10000;
const DWORD THREAD_JOIN_MS = 1000;
const DWORD CANCEL_RETRY_MS = 20;

// Creates the channel's temporary file; the handle stays with the thread.
HANDLE openCaptureFile(CaptureChannel& channel) {
    wchar_t tempDir[PATH_CAPACITY] = {};
    DWORD length = GetTempPathW(PATH_CAPACITY, tempDir);
    if (length == 0 || length >= PATH_CAPACITY) return INVALID_HANDLE_VALUE;
    if (GetTempFileNameW(tempDir, channel.prefix, 0, channel.path) == 0) return INVALID_HANDLE_VALUE;
    return CreateFileW(channel.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool threadEnded(HANDLE thread, DWORD waitMs) { return WaitForSingleObject(thread, waitMs) == WAIT_OBJECT_0; }

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

void reportQuickFailure() {
    bool stderrSeen = stderrCapture.ended && stderrCapture.seen;
    bool stdoutSeen = stdoutCapture.ended && stdoutCapture.seen;
    if (stderrCapture.ended && !stderrSeen && stderrCapture.path[0] != 0) DeleteFileW(stderrCapture.path);

    ULONGLONG elapsed = GetTickCount64() - startTick;
    if (elapsed >= QUICK_FAILURE_MS) return;
    if (!stderrSeen && !stdoutSeen) return;

    appendToMessage(L"\n");
    if (stdoutSeen) appendToMessage(stdoutCapture.path[0] != 0 ? stdoutCapture.path : NO_CAPTURE_FILE);
    if (stdoutSeen && stderrSeen) appendToMessage(L"\nAnd file\n");
    if (stderrSeen) appendToMessage(stderrCapture.path[0] != 0 ? stderrCapture.path : NO_CAPTURE_FILE);
    appendToMessage(supportNotice);
    // The report is about the child's failed start: the files say what went
    // wrong, no system text does.
    clearFailureCode();
    reportError();
}
