// The run sequence of one launch, the child's start and release, and the
// activation of an instance that is already running.
#include "launch/launch_sequence.h"

#include "config/config_records.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "diag/ui_calls.h"
#include "launch/bounded_text.h"
#include "launch/launch_state.h"
#include "launch/output_capture.h"
#include "launch/splash.h"
#include "runtime/private_launcher.h"

namespace {

const DWORD THREAD_JOIN_MS = 1000;

wchar_t childCommandLine[LONG_TEXT_CAPACITY];

// An anonymous pipe whose write end the child inherits; the read end stays
// with the launcher, so the reader sees end-of-data when the child (and
// whatever inherited from it) has closed the write end.
bool createCapturePipe(HANDLE* readEnd, HANDLE* writeEnd) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(readEnd, writeEnd, &inheritable, 0)) return false;
    return SetHandleInformation(*readEnd, HANDLE_FLAG_INHERIT, 0) != 0;
}

HANDLE startCaptureThread(LPTHREAD_START_ROUTINE routine) {
    return CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
}

void collectThread(HANDLE* thread) {
    if (*thread == nullptr) return;
    if (WaitForSingleObject(*thread, THREAD_JOIN_MS) == WAIT_TIMEOUT) {
        // Something still holds the pipe's write end (a grandchild, say):
        // cancel the blocking read and give the thread another second.
        CancelSynchronousIo(*thread);
        WaitForSingleObject(*thread, THREAD_JOIN_MS);
    }
    CloseHandle(*thread);
    *thread = nullptr;
}

void closePipeEnd(HANDLE* end) {
    if (*end == nullptr) return;
    CloseHandle(*end);
    *end = nullptr;
}

// A failure after the splash window exists: its timer must not close the
// report by posting the quit message into the box's own message loop.
int failAfterSplash() {
    stopSplashTimer();
    reportError();
    return EXIT_REPORTED_FAILURE;
}

void runMessageLoop() {
    MSG message;
    while (user32.GetMessageW(&message, nullptr, 0, 0) > 0) {
        user32.TranslateMessage(&message);
        user32.DispatchMessageW(&message);
    }
}

} // namespace

int startChild() {
    child = PROCESS_INFORMATION{};

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = stderrPipeWrite;
    startup.hStdOutput = stdoutPipeWrite;

    for (;;) {
        TextBuffer commandLine = emptyTextBuffer(childCommandLine, LONG_TEXT_CAPACITY);
        appendChar(commandLine, L'"');
        appendText(commandLine, launcherPath);
        appendText(commandLine, L"\" ");
        appendText(commandLine, launcherArgs);
        if (commandLine.overflowed) {
            explainFailure(L"The command line for the Java runtime would be longer than 32767 characters.");
            return -1;
        }
        if (CreateProcessW(nullptr, childCommandLine, nullptr, nullptr, TRUE, priorityClass, nullptr, nullptr,
                           &startup, &child)) {
            break;
        }
        // The private copy never makes a launch fail: when it cannot be
        // started, the runtime's own launcher is.
        if (!switchToPlainLauncher()) return -1;
    }
    releasePrivateLauncher();
    return 0;
}

void releaseChild() {
    if (child.hThread != nullptr) CloseHandle(child.hThread);
    if (child.hProcess != nullptr) CloseHandle(child.hProcess);
    closeDebugLog();
}

void activateRunningInstance() {
    wchar_t wanted[NAME_CAPACITY] = {};
    if (!loadConfigString(CFG_INSTANCE_TITLE, wanted, NAME_CAPACITY)) return;
    if (!bindUserCalls()) return;
    HWND window = nullptr;
    while ((window = user32.FindWindowExW(nullptr, window, nullptr, nullptr)) != nullptr) {
        wchar_t title[NAME_CAPACITY] = {};
        user32.GetWindowTextW(window, title, NAME_CAPACITY - 1);
        if (containsText(title, wanted)) {
            user32.ShowWindow(window, SW_SHOW);
            user32.SetForegroundWindow(window);
            return;
        }
    }
}

int launcherMain(HINSTANCE instance, const wchar_t* argumentText, int showCode) {
    int prepared = prepareLaunch(argumentText);
    if (prepared == PREPARE_ANOTHER_INSTANCE) {
        activateRunningInstance();
        if (configFaulted()) {
            reportError();
            return EXIT_REPORTED_FAILURE;
        }
        closeDebugLog();
        return EXIT_ANOTHER_INSTANCE;
    }
    if (prepared != PREPARE_READY) {
        reportError();
        return EXIT_REPORTED_FAILURE;
    }

    // "--qd-no-splash" keeps a configured splash away; "--qd-no-splash-err"
    // is a different switch and does not.
    splashShown = loadConfigBool(CFG_SPLASH) && !hasNoSplashSwitch(argumentText);
    waitForChild = loadConfigBool(CFG_WAIT) && !containsText(argumentText, L"--qd-dont-wait");
    bool stdoutRequested = containsText(argumentText, L"--qd-stdout");
    if (configFaulted()) {
        reportError();
        return EXIT_REPORTED_FAILURE;
    }

    bool pumping = splashShown || waitForChild;
    if (pumping && (!startSplash(instance, showCode, argumentText) || configFaulted())) return failAfterSplash();

    if (!createCapturePipe(&stderrPipeRead, &stderrPipeWrite)) return failAfterSplash();
    if (stdoutRequested && !createCapturePipe(&stdoutPipeRead, &stdoutPipeWrite)) return failAfterSplash();

    startTick = GetTickCount64();
    if (startChild() != 0) return failAfterSplash();

    closePipeEnd(&stderrPipeWrite);
    closePipeEnd(&stdoutPipeWrite);

    // At these two exits the child has already started: it runs on unwatched.
    stderrThread = startCaptureThread(captureStderr);
    if (stderrThread == nullptr) return failAfterSplash();
    if (stdoutRequested) {
        stdoutThread = startCaptureThread(captureStdout);
        if (stdoutThread == nullptr) return failAfterSplash();
    }

    if (pumping) runMessageLoop();

    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &childExitCode);
    logLine(L"Exit code:\t%d\n", static_cast<int>(childExitCode));

    collectThread(&stderrThread);
    collectThread(&stdoutThread);
    closePipeEnd(&stderrPipeRead);
    closePipeEnd(&stdoutPipeRead);

    reportQuickFailure();
    logLine(L"Exit code:\t%d\n", static_cast<int>(childExitCode));
    releaseChild();
    return static_cast<int>(childExitCode);
}
