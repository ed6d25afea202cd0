// The launcher's process-wide state. Every variable lives for the whole run;
// texts are UTF-16 with fixed capacities that count the terminating zero.
#pragma once

#include <windows.h>
#include <stdint.h>

enum : size_t {
    PATH_CAPACITY = 260,
    LONG_TEXT_CAPACITY = 32768,
    MESSAGE_CAPACITY = 1024,
    URL_CAPACITY = 256,
    NAME_CAPACITY = 128,
};

extern HMODULE moduleHandle;
extern wchar_t exePath[PATH_CAPACITY];
extern size_t exeDirLen;           // characters of exePath before its last backslash
extern HANDLE logFile;             // the debug log; nullptr while it is not open
extern BOOL isWow64;
extern wchar_t helpUrl[URL_CAPACITY];
extern wchar_t errorTitle[NAME_CAPACITY];
extern wchar_t messageText[MESSAGE_CAPACITY];
extern wchar_t mutexName[NAME_CAPACITY];
extern wchar_t oldCwd[PATH_CAPACITY];
extern wchar_t workDir[PATH_CAPACITY];

// One buffer under two names: the chosen runtime's home directory until the
// runtime environment step turns it into the path of the program the child runs.
extern wchar_t launcherPath[PATH_CAPACITY];
extern wchar_t (&runtimeHome)[PATH_CAPACITY];

extern wchar_t minVersion[NAME_CAPACITY];
extern wchar_t maxVersion[NAME_CAPACITY];
extern wchar_t foundVersion[NAME_CAPACITY];
extern wchar_t foundRuntimeKey[PATH_CAPACITY];
extern DWORD foundRuntime;         // 0 none, 1 runtime family, 2 development-kit family
extern DWORD priorityClass;        // the child's creation flags
extern BOOL jarInExe;              // CFG_JAR_IN_EXE, read with the runtime environment
extern wchar_t launcherArgs[LONG_TEXT_CAPACITY];

extern PROCESS_INFORMATION child;
extern DWORD childExitCode;
extern ULONGLONG startTick;

extern HANDLE stderrPipeRead;
extern HANDLE stderrPipeWrite;
extern HANDLE stdoutPipeRead;
extern HANDLE stdoutPipeWrite;
extern HANDLE stderrThread;
extern HANDLE stdoutThread;
extern HANDLE stderrCaptureFile;
extern HANDLE stdoutCaptureFile;
extern wchar_t stderrCapturePath[PATH_CAPACITY];
extern wchar_t stdoutCapturePath[PATH_CAPACITY];
extern BOOL stderrSeen;
extern BOOL stdoutSeen;

extern BOOL splashShown;
extern BOOL waitForChild;
extern int splashCountdown;        // seconds
extern BOOL splashTimeoutIsError;
extern BOOL splashUntilWindow;
extern HWND splashWindow;

// Puts every variable back to its value at process start (for tests that run
// several launches in one process).
void resetLaunchState();
