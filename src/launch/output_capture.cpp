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

// The variables one capture thread owns.
struct CaptureChannel {
    HANDLE* pipeRead;
    const wchar_t* prefix;
    wchar_t* path;
    HANDLE* file;
    BOOL* seen;
};

bool openCaptureFile(const CaptureChannel& channel) {
    wchar_t tempDir[PATH_CAPACITY] = {};
    DWORD length = GetTempPathW(PATH_CAPACITY, tempDir);
    if (length == 0 || length >= PATH_CAPACITY) return false;
    if (GetTempFileNameW(tempDir, channel.prefix, 0, channel.path) == 0) return false;
    HANDLE file = CreateFileW(channel.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    *channel.file = file;
    return true;
}

// Reads the pipe until every write end is closed or the read is cancelled.
// When the file cannot take the data (set-up or a write failed) the pipe is
// still drained, so the child never blocks on a full pipe.
DWORD copyChannel(const CaptureChannel& channel) {
    static_assert(COPY_BUFFER_BYTES == 4096, "one fixed 4 KiB buffer per thread");
    char buffer[COPY_BUFFER_BYTES];
    bool setUp = openCaptureFile(channel);
    if (!setUp) {
        // Name no file in a report: remove what the system may have created.
        if (channel.path[0] != 0) DeleteFileW(channel.path);
        channel.path[0] = 0;
    }
    bool copying = setUp;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(*channel.pipeRead, buffer, COPY_BUFFER_BYTES, &got, nullptr)) break;
        if (got == 0) continue; // a zero-length write by the child; the pipe is still open
        *channel.seen = TRUE;
        if (!copying) continue;
        DWORD written = 0;
        if (!WriteFile(*channel.file, buffer, got, &written, nullptr)) {
            // A cancelled write means the launcher is collecting this thread: stop.
            if (GetLastError() == ERROR_OPERATION_ABORTED) break;
            copying = false;
        }
    }
    if (setUp) {
        CloseHandle(*channel.file);
        *channel.file = nullptr;
    }
    return setUp ? 0 : static_cast<DWORD>(-1);
}

} // namespace

DWORD WINAPI captureStderr(LPVOID) {
    CaptureChannel channel = {&stderrPipeRead, L"QD_", stderrCapturePath, &stderrCaptureFile, &stderrSeen};
    return copyChannel(channel);
}

DWORD WINAPI captureStdout(LPVOID) {
    CaptureChannel channel = {&stdoutPipeRead, L"QO_", stdoutCapturePath, &stdoutCaptureFile, &stdoutSeen};
    return copyChannel(channel);
}

void reportQuickFailure() {
    if (!stderrSeen && stderrCapturePath[0] != 0) DeleteFileW(stderrCapturePath);

    ULONGLONG elapsed = GetTickCount64() - startTick;
    if (elapsed >= QUICK_FAILURE_MS) return;
    if (!stderrSeen && !stdoutSeen) return;

    appendToMessage(L"\n");
    if (stdoutSeen) appendToMessage(stdoutCapturePath[0] != 0 ? stdoutCapturePath : NO_CAPTURE_FILE);
    if (stdoutSeen && stderrSeen) appendToMessage(L"\nAnd file\n");
    if (stderrSeen) appendToMessage(stderrCapturePath[0] != 0 ? stderrCapturePath : NO_CAPTURE_FILE);
    appendToMessage(supportNotice);
    // Whatever error code the capture left pending says nothing about the
    // child's failure; the report shows the captured output's files instead.
    SetLastError(0);
    reportError();
}
