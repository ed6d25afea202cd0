// The run sequence of one launch, the child's start and release, and the
// activation of an instance that is already running.
#include "launch/launch_sequence.h"

#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "core/launcher_switches.h"
#include "core/launcher_variant.h"
#include "diag/console_io.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "diag/ui_calls.h"
#include "launch/app_identity.h"
#include "launch/console_child.h"
#include "launch/forwarding.h"
#include "launch/output_capture.h"
#include "launch/restart.h"
#include "launch/splash.h"
#include "runtime/private_launcher.h"
#include "runtime/runtime_env.h"

namespace {

wchar_t childCommandLine[LONG_TEXT_CAPACITY];

// The child inherits only the handles named in a handle-list attribute. The
// attribute list lives in this fixed buffer: the system tells its size, and a
// list larger than the buffer is refused rather than allocated.
const size_t ATTRIBUTE_LIST_BYTES = 128;
alignas(16) unsigned char attributeListBytes[ATTRIBUTE_LIST_BYTES];

// An anonymous pipe whose write end the child inherits; the read end stays
// with the launcher, so the reader sees end-of-data when the child (and
// whatever inherited from it) has closed the write end.
bool createCapturePipe(CaptureChannel& channel) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&channel.pipeRead, &channel.pipeWrite, &inheritable, 0) ||
        !SetHandleInformation(channel.pipeRead, HANDLE_FLAG_INHERIT, 0)) {
        noteFailedCall();
        return false;
    }
    return true;
}

void closeHandleOnce(HANDLE* handle) {
    if (*handle == nullptr) return;
    CloseHandle(*handle);
    *handle = nullptr;
}

// How one child's run ended.
enum ChildRun {
    CHILD_ENDED,       // started, waited for, collected: childExitCode is its code
    CHILD_FAILED,      // a step failed and was reported: the launcher ends with 1
    CHILD_NOT_STARTED, // a restart given up before the start: the last child's code stands
};

// A failure after the splash window exists: the splash goes first, so the
// report is not shown over it and no tick runs inside the report's box.
ChildRun failAfterSplash() {
    endSplash();
    reportError();
    return CHILD_FAILED;
}

// Waits for the child's end on its process handle; its exit code says nothing
// about whether it still runs (a program may exit with 259, STILL_ACTIVE).
//
// A thread that owns a window must keep reading its messages: a window left
// without a message loop hangs every program that broadcasts with
// SendMessage(HWND_BROADCAST, ...) and makes log-off see an unresponsive
// program, for as long as the application runs. So once this run has used
// windows at all (the splash, the hidden window of CFG_WAIT, a message box,
// the shell's COM apartment after a report opened a page), the wait pumps the
// thread's messages until the child ends, whatever windows the system may have
// created on the thread, and destroys the hidden window of CFG_WAIT only once
// the last child has ended (the splash goes as soon as it is hidden). This
// keeps one loop for the splash, the wait and the child's end, instead of
// deciding when no window of the thread could be left.
//
// Forwarded starts (forwarding.h) are served from the same wait: their pipes'
// events and deadlines wake it as well.
void waitForChildEnd() {
    bool pumping = userCallsInUse();
    HANDLE handles[1 + FORWARD_WAIT_HANDLES] = {child.hProcess};
    for (;;) {
        DWORD count = 1 + forwardingWaitHandles(handles + 1);
        DWORD timeout = forwardingTimeout();
        DWORD woke = pumping ? user32.MsgWaitForMultipleObjectsEx(count, handles, timeout, QS_ALLINPUT,
                                                                  MWMO_INPUTAVAILABLE)
                             : WaitForMultipleObjects(count, handles, FALSE, timeout);
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_TIMEOUT || woke < WAIT_OBJECT_0 + count) {
            serviceForwarding();
            continue;
        }
        if (!pumping || woke != WAIT_OBJECT_0 + count) {
            WaitForSingleObject(child.hProcess, INFINITE);
            break;
        }
        MSG message;
        while (user32.PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            user32.TranslateMessage(&message);
            user32.DispatchMessageW(&message);
        }
    }
}

void addInheritedHandle(HANDLE (&list)[MAX_INHERITED_HANDLES], size_t* count, HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || *count >= MAX_INHERITED_HANDLES) return;
    // The system refuses a list that names a handle twice.
    for (size_t i = 0; i < *count; ++i) {
        if (list[i] == handle) return;
    }
    list[(*count)++] = handle;
}

} // namespace

size_t listInheritedHandles(HANDLE (&list)[MAX_INHERITED_HANDLES], const HANDLE* extra, size_t extraCount) {
    size_t count = 0;
    addInheritedHandle(list, &count, stderrCapture.pipeWrite);
    addInheritedHandle(list, &count, stdoutCapture.pipeWrite);
    addInheritedHandle(list, &count, childInput);
    for (size_t i = 0; i < extraCount; ++i) addInheritedHandle(list, &count, extra[i]);
    return count;
}

LPPROC_THREAD_ATTRIBUTE_LIST inheritOnly(const HANDLE* handles, size_t count) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    if (size == 0 || size > ATTRIBUTE_LIST_BYTES) {
        explainFailure("The launcher has no room for the list of handles the Java runtime may inherit.");
        return nullptr;
    }
    auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeListBytes);
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
        noteFailedCall();
        return nullptr;
    }
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, const_cast<HANDLE*>(handles),
                                   count * sizeof(HANDLE), nullptr, nullptr)) {
        noteFailedCall();
        DeleteProcThreadAttributeList(list);
        return nullptr;
    }
    return list;
}

int startChild() {
    child = PROCESS_INFORMATION{};

    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup.StartupInfo);
    HANDLE standard[3] = {};
    size_t standardCount = 0;
    DWORD flags = priorityClass;
    if (CONSOLE_LAUNCHER) {
        standardCount = shareStandardHandles(startup.StartupInfo, standard);
        flags |= consoleCreationFlags();
    } else {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdError = stderrCapture.pipeWrite;
        startup.StartupInfo.hStdOutput = stdoutCapture.pipeWrite;
        startup.StartupInfo.hStdInput = childInput;
    }
    passAppUserModelId(startup.StartupInfo);

    // Everything else the launcher holds stays out of the child, and so out of
    // every process the Java application starts (with inheritance on).
    HANDLE inherited[MAX_INHERITED_HANDLES];
    size_t count = listInheritedHandles(inherited, standard, standardCount);
    if (count > 0) {
        startup.lpAttributeList = inheritOnly(inherited, count);
        if (startup.lpAttributeList == nullptr) return -1;
        startup.StartupInfo.cb = sizeof(startup);
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }

    BOOL started = FALSE;
    for (;;) {
        TextBuffer commandLine = emptyTextBuffer(childCommandLine, LONG_TEXT_CAPACITY);
        appendChar(commandLine, L'"');
        appendText(commandLine, launcherPath);
        appendText(commandLine, "\" ");
        appendText(commandLine, launcherArgs);
        if (commandLine.overflowed) {
            explainFailure("The command line for the Java runtime would be longer than 32767 characters.");
            break;
        }
        started = CreateProcessW(nullptr, childCommandLine, nullptr, nullptr, count > 0, flags, nullptr, nullptr,
                                 &startup.StartupInfo, &child);
        if (started) break;
        noteFailedCall();
        // The private copy never makes a launch fail: when it cannot be
        // started, the runtime's own launcher is.
        if (!runsPrivateCopy()) break;
        logLine("Start failed:\t%s\n", launcherPath);
        switchToPlainLauncher();
    }
    if (startup.lpAttributeList != nullptr) DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!started) return -1;
    privateLauncherStarted();
    return 0;
}

namespace {

void closeChildHandles() {
    if (child.hThread != nullptr) CloseHandle(child.hThread);
    if (child.hProcess != nullptr) CloseHandle(child.hProcess);
    child = PROCESS_INFORMATION{};
}

} // namespace

void releaseChild() {
    closeChildHandles();
    closeDebugLog();
}

void activateRunningInstance(DWORD applicationProcess) {
    // First, while this start still may: once the window below comes to the
    // front, this process no longer can pass the right on.
    if (applicationProcess != 0 && bindUserCalls()) user32.AllowSetForegroundWindow(applicationProcess);
    wchar_t wanted[NAME_CAPACITY] = {};
    if (!loadConfigString<CFG_INSTANCE_TITLE>(wanted)) return;
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

namespace {

// After the child's end: its exit code, which becomes the launcher's own.
void readChildExitCode() {
    GetExitCodeProcess(child.hProcess, &childExitCode);
    logLine("Exit code:\t%d\n", static_cast<int>(childExitCode));
}

// The last step of a run whose child was started and has ended.
int endWithChild() {
    logLine("Exit code:\t%d\n", static_cast<int>(childExitCode));
    releaseChild();
    return static_cast<int>(childExitCode);
}

// After a child has ended: when it was the private copy and the system's
// loader ended it before it ran (CreateProcessW succeeded, so nothing was
// reported), makes the runtime's own launcher the next child's program and
// says so. The private copy never makes a launch fail. True when the child is
// to be started once more; the runtime's own launcher is never replaced, so
// this happens at most once per launch.
bool turnToPlainLauncherAfterLoaderRefusal(bool wroteOutput) {
    if (!runsPrivateCopy() || !endedUnloaded(childExitCode, GetTickCount64() - startTick, wroteOutput)) return false;
    logLine("Load failed:\t%s\n", launcherPath);
    switchToPlainLauncher();
    closeChildHandles();
    return true;
}

// The console launcher's child: it shares the launcher's console and standard
// handles, so there are no pipes, no capture files and no quick-failure
// report, and no window of any kind. A program the loader refused has run
// none of its own code, so it cannot have written to the shared console
// either.
ChildRun runConsoleChild(LONG interruptsAtLastEnd) {
    if (restartCount == 0) {
        watchConsoleEvents();
    } else if (consoleInterrupts() != interruptsAtLastEnd) {
        logLine("No restart:\tCtrl+C or Ctrl+Break between children\n");
        return CHILD_NOT_STARTED;
    }
    do {
        startTick = GetTickCount64();
        if (startChild() != 0) {
            reportError();
            return CHILD_FAILED;
        }
        WaitForSingleObject(child.hProcess, INFINITE);
        readChildExitCode();
    } while (turnToPlainLauncherAfterLoaderRefusal(false));
    return CHILD_ENDED;
}

// One child from its start to its end: its capture pipes and threads, the
// wait and its exit code, the threads collected. False when it could not be
// started or watched (the report is ready); at the last two exits the child
// has already started and runs on unwatched.
bool runChildToItsEnd(bool stdoutRequested) {
    if (!createCapturePipe(stderrCapture)) return false;
    if (stdoutRequested && !createCapturePipe(stdoutCapture)) return false;
    childInput = openChildInput();

    startTick = GetTickCount64();
    if (startChild() != 0) return false;

    closeHandleOnce(&stderrCapture.pipeWrite);
    closeHandleOnce(&stdoutCapture.pipeWrite);
    // Forwarding keeps the child's input and closes it at the child's end.
    childInput = nullptr;

    if (!startCapture(stderrCapture)) return false;
    if (stdoutRequested && !startCapture(stdoutCapture)) return false;

    waitForChildEnd();
    endChildInput();
    readChildExitCode();

    collectCapture(stderrCapture);
    collectCapture(stdoutCapture);
    return true;
}

// Whether the child wrote anything, or may have: output whose capture thread
// did not end is not known to be empty.
bool childMayHaveWritten(bool stdoutRequested) {
    bool stderrQuiet = stderrCapture.ended && !stderrCapture.seen;
    bool stdoutQuiet = !stdoutRequested || (stdoutCapture.ended && !stdoutCapture.seen);
    return !stderrQuiet || !stdoutQuiet;
}

// The GUI launcher's child: its error output (and with "--qd-stdout" its
// standard output) goes through fresh pipes into temporary files. The first
// child brings the splash screen and the wait's window; a restarted one
// neither, since the application is already on screen.
ChildRun runCapturedChild(HINSTANCE instance, int showCode) {
    if (restartCount == 0) {
        splashShown = loadConfigBool<CFG_SPLASH>() && !launcherSwitches.noSplash;
        waitForChild = loadConfigBool<CFG_WAIT>() && !launcherSwitches.dontWait;
        if (configFaulted()) {
            reportError();
            return CHILD_FAILED;
        }
        bool windowed = splashShown || waitForChild;
        if (windowed && (!startSplash(instance, showCode) || configFaulted())) return failAfterSplash();
    }
    bool stdoutRequested = launcherSwitches.captureStdout;

    stderrCapture.prefix = L"QD_";
    stdoutCapture.prefix = L"QO_";
    stderrCapture.head = stderrHead;
    for (;;) {
        if (!runChildToItsEnd(stdoutRequested)) return failAfterSplash();
        if (!turnToPlainLauncherAfterLoaderRefusal(childMayHaveWritten(stdoutRequested))) break;
        // The refused copy wrote nothing: its empty capture files go, and the
        // next child's output, quick-failure report and splash watch are its own.
        discardCapture(stderrCapture);
        discardCapture(stdoutCapture);
    }
    endSplash();
    return CHILD_ENDED;
}

// A capture thread that did not end keeps its channel (launch_state.h).
bool captureHeld() { return stderrCapture.pipeRead != nullptr || stdoutCapture.pipeRead != nullptr; }

// After a child ended with the restart code: whether to start the next one,
// and if so the clean slate for its preparation. The error output of the
// child that asked is kept or deleted as at any end, but it is no failed
// start, so no quick-failure report is made for it.
bool restartAfterChild(RestartHistory& history) {
    ChildEnd end = {childExitCode, GetTickCount64() - startTick, reportShown != FALSE, captureHeld()};
    RestartVerdict verdict = judgeRestart(history, end);
    if (verdict == RESTART_NOT_ASKED) return false;
    // The environment goes back to what the launcher started with before the
    // next preparation changes it again (Path, CFG_ENV_VARS).
    if (verdict == RESTART_GO && !restoreEnvironment()) verdict = RESTART_NO_ENVIRONMENT;
    if (verdict != RESTART_GO) {
        logRefusedRestart(verdict);
        return false;
    }
    logLine("Restart:\t%d\n", static_cast<int>(childExitCode));
    if (!CONSOLE_LAUNCHER) discardEmptyCapture();
    closeChildHandles();
    resetChildState();
    // The working directory is entered afresh from where the launcher started.
    if (oldCwd[0] != 0) SetCurrentDirectoryW(oldCwd);
    ++restartCount;
    return true;
}

// The console launcher's word when another instance holds CFG_MUTEX.
void reportAnotherInstance() {
    wchar_t line[NAME_CAPACITY + 64];
    TextBuffer b = emptyTextBuffer(line, NAME_CAPACITY + 64);
    appendText(b, errorTitle);
    appendText(b, ": another instance is already running.");
    writeErrorLine(line);
}

} // namespace

int launcherMain(HINSTANCE instance, const wchar_t* argumentText, int showCode) {
    initLaunchState();
    launcherSwitches = readLauncherSwitches(argumentText);
    int prepared = prepareProcess(argumentText);
    if (prepared == PREPARE_ANOTHER_INSTANCE) {
        DWORD application = 0;
        bool handedOver = !CONSOLE_LAUNCHER && forwardStarts && handOverToRunningInstance(argumentText, &application);
        // A console launcher has no window to bring forward: it says why it ends.
        if (!CONSOLE_LAUNCHER) activateRunningInstance(application);
        if (configFaulted()) {
            reportError();
            return EXIT_REPORTED_FAILURE;
        }
        if (CONSOLE_LAUNCHER) reportAnotherInstance();
        closeDebugLog();
        return handedOver ? EXIT_HANDED_OVER : EXIT_ANOTHER_INSTANCE;
    }
    if (prepared != PREPARE_READY) {
        reportError();
        return EXIT_REPORTED_FAILURE;
    }

    // The process is prepared once; each child, the first and every
    // restarted one, is prepared and run here. The single-instance mutex and
    // the debug log stay with the launcher from one child to the next.
    RestartHistory restarts = {restartExitCode, restartExitCode != 0 && saveEnvironment(), 0};
    LONG interruptsAtLastEnd = 0;
    for (;;) {
        if (prepareChild(argumentText) != PREPARE_READY) {
            reportError();
            return EXIT_REPORTED_FAILURE;
        }
        ChildRun run = CONSOLE_LAUNCHER ? runConsoleChild(interruptsAtLastEnd)
                                        : runCapturedChild(instance, showCode);
        if (run == CHILD_FAILED) return EXIT_REPORTED_FAILURE;
        if (run == CHILD_NOT_STARTED) break;
        interruptsAtLastEnd = CONSOLE_LAUNCHER ? consoleInterrupts() : 0;
        if (!restartAfterChild(restarts)) {
            if (!CONSOLE_LAUNCHER) reportQuickFailure();
            break;
        }
    }
    return endWithChild();
}
