// The ordered preparation of a launch, in two parts. The first prepares the
// launcher's process once; the second prepares one child and runs again for
// every restart. Each step reads the records it needs when it needs them; the
// first failing step ends the preparation, leaving in messageText (and
// possibly helpUrl) what the report is to show.
//
// The process (prepareProcess):
//  1-3  module handle, executable path, executable directory
//       the application's taskbar identity (before any window, reports too)
//  4    debug log on "--qd-debug"
//  5    WOW64 query
//  6-8  help page, message-box title, start-up message
//  9    single-instance mutex (result 183 when another instance holds it),
//       with the endpoint for later starts when they are forwarded
//  10   starting directory; the restart code
// One child (prepareChild):
//  11   working directory
//  12   runtime search
//  13   runtime environment and launcher path
//  14-15 heap options from the free memory
//  16   the child's command line
#include "launch/launch_sequence.h"

#include "cmdline/heap_sizing.h"
#include "cmdline/launcher_args.h"
#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "core/launcher_variant.h"
#include "diag/debug_log.h"
#include "launch/app_identity.h"
#include "launch/forwarding.h"
#include "launch/restart.h"
#include "runtime/runtime_env.h"
#include "runtime/runtime_search.h"

namespace {

bool findExecutablePath() {
    moduleHandle = GetModuleHandleW(nullptr);
    if (moduleHandle == nullptr) {
        noteFailedCall();
        return false;
    }

    clearText(exePath, PATH_CAPACITY);
    DWORD length = GetModuleFileNameW(moduleHandle, exePath, PATH_CAPACITY);
    if (length == 0) {
        noteFailedCall();
        return false;
    }
    if (length >= PATH_CAPACITY) {
        // The system cut the path to fit: every path derived from it would be wrong.
        clearText(exePath, PATH_CAPACITY);
        explainFailure("The path of this program is longer than 259 characters. "
                       "Install the application in a folder with a shorter path.");
        return false;
    }

    const wchar_t* lastBackslash = findLastChar(exePath, L'\\');
    if (lastBackslash == nullptr) return false;
    exeDirLen = static_cast<size_t>(lastBackslash - exePath);
    return true;
}

void queryWow64() {
    if (IsWow64Process(GetCurrentProcess(), &isWow64)) return;
    typedef BOOL(WINAPI * IsWow64ProcessCall)(HANDLE, PBOOL);
    IsWow64ProcessCall query = reinterpret_cast<IsWow64ProcessCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    if (query != nullptr) query(GetCurrentProcess(), &isWow64);
    logLine("WOW64:\t\t%s\n", isWow64 ? L"yes" : L"no");
}

// Returns false when another instance already holds the configured mutex.
bool claimSingleInstance() {
    loadConfigString<CFG_MUTEX>(mutexName);
    if (mutexName[0] == 0) return true;
    // Never closed, and held by the launcher alone: the launcher waits for the
    // child in every run that starts one, so the name stays taken exactly as
    // long as the application runs. Not inheritable: Java starts its own
    // processes with inheritance on, and a helper, tray process or updater
    // that got the handle would keep the name taken after the application
    // ended, turning every later start away.
    //
    // With forwarding, the first instance owns the mutex until its endpoint
    // exists: a later start waits for that before it looks for the endpoint.
    forwardStarts = forwardsStarts();
    instanceMutex = CreateMutexW(nullptr, forwardStarts, mutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        logLine("Instance already exists.");
        return false;
    }
    // A name the system refuses (a backslash other than after Global\ or
    // Local\, which qdstamp refuses too), or one another kind of object holds:
    // the application runs without its single instance, and the log says so.
    if (instanceMutex == nullptr) {
        logLine("No mutex:\t%s (error %d)\n", mutexName, static_cast<int>(GetLastError()));
    }
    if (!CONSOLE_LAUNCHER && forwardStarts) {
        openForwardEndpoint();
        if (instanceMutex != nullptr) ReleaseMutex(instanceMutex);
    }
    return true;
}

bool enterWorkingDirectory() {
    wchar_t configured[PATH_CAPACITY] = {};
    if (!loadConfigString<CFG_WORK_DIR>(configured)) return true;
    TextBuffer dir = emptyTextBuffer(workDir, PATH_CAPACITY);
    appendTextN(dir, exePath, exeDirLen);
    if (!textEndsWith(dir, L'\\')) appendChar(dir, L'\\');
    appendText(dir, configured);
    if (dir.overflowed) {
        explainFailure("The configured working directory, joined to the application's folder, "
                       "is longer than 259 characters.");
        return false;
    }
    SetCurrentDirectoryW(workDir);
    logLine("Working dir:\t%s\n", workDir);
    return true;
}

// The child's whole command line is the quoted launcher path, a blank and
// launcherArgs. The system takes at most 32767 units with the terminating zero,
// so 32766 characters: one more reaches the child cut, without any error.
bool childCommandLineFits() {
    size_t total = 1 + textLength(launcherPath) + 2 + textLength(launcherArgs);
    if (total <= LONG_TEXT_CAPACITY - 2) return true;
    explainFailure("The command line for the Java runtime would be longer than the 32766 characters the system "
                   "can pass on. Shorten the configured options, classpath or arguments.");
    return false;
}

} // namespace

int prepareProcess(const wchar_t* argumentText) {
    bool pathFound = findExecutablePath();
    // The process takes its taskbar identity before its first window, and the
    // report of a failure below may be that window.
    adoptAppUserModelId();
    if (!pathFound) return PREPARE_FAILED;
    if (!openDebugLog(argumentText)) return PREPARE_FAILED;
    logAppUserModelId();
    queryWow64();

    loadConfigString<CFG_HELP_URL>(helpUrl);
    loadConfigString<CFG_ERROR_TITLE>(errorTitle);
    if (configFaulted()) return PREPARE_FAILED;
    if (!loadConfigString<MSG_STARTUP_ERROR>(messageText)) return PREPARE_FAILED;

    if (!claimSingleInstance()) return PREPARE_ANOTHER_INSTANCE;
    if (configFaulted()) return PREPARE_FAILED;

    GetCurrentDirectoryW(PATH_CAPACITY, oldCwd);
    int configuredRestart = loadConfigInt<CFG_RESTART_EXIT_CODE>();
    if (configFaulted()) return PREPARE_FAILED;
    restartExitCode = usableRestartCode(configuredRestart);
    if (restartExitCode == 0 && configuredRestart != 0) {
        logLine("No restarts:\t%d is not a usable CFG_RESTART_EXIT_CODE\n", configuredRestart);
    }
    return PREPARE_READY;
}

int prepareChild(const wchar_t* argumentText) {
    if (!enterWorkingDirectory() || configFaulted()) return PREPARE_FAILED;

    if (!locateRuntime(exePath, exeDirLen) || configFaulted()) return PREPARE_FAILED;
    if (!prepareRuntimeEnvironment(exePath, exeDirLen) || configFaulted()) return PREPARE_FAILED;

    unsigned long long freeBytes = sampleFreeMemory();
    sizeInitialHeap(freeBytes);
    if (configFaulted()) return PREPARE_FAILED;
    if (!sizeMaxHeap(freeBytes) || configFaulted()) return PREPARE_FAILED;

    if (!assembleLauncherArgs(argumentText, exePath, exeDirLen, jarInExe) || configFaulted()) return PREPARE_FAILED;
    if (!childCommandLineFits()) return PREPARE_FAILED;
    return PREPARE_READY;
}
