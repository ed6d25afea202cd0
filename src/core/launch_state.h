// The launcher's process-wide state. Every variable lives for the whole run;
// texts are UTF-16 with fixed capacities that count the terminating zero.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "core/launcher_switches.h"

enum : size_t {
    PATH_CAPACITY = 260,
    LONG_TEXT_CAPACITY = 32768,
    MESSAGE_CAPACITY = 1024,
    URL_CAPACITY = 256,
    NAME_CAPACITY = 128,
    // An AppUserModelID holds at most 128 characters.
    APP_ID_CAPACITY = 129,
    // The first bytes of each captured output kept for the quick-failure
    // report: enough for its longest excerpt in any encoding (three bytes a
    // character in UTF-8, a line break of two).
    CAPTURE_HEAD_BYTES = 2560,
};

extern LauncherSwitches launcherSwitches; // read from the argument text at the start of the run
extern HMODULE moduleHandle;
extern wchar_t exePath[PATH_CAPACITY];
extern size_t exeDirLen;           // characters of exePath before its last backslash
extern HANDLE logFile;             // the debug log; nullptr while it is not open
extern BOOL isWow64;
extern wchar_t helpUrl[URL_CAPACITY];
extern wchar_t errorTitle[NAME_CAPACITY];
extern wchar_t messageText[MESSAGE_CAPACITY];

// The system error code that belongs to the pending failure; 0 when the
// failure is one of the launcher's own reasons and brings no system text.
// core/failure.h holds the convention that carries it to the report.
extern DWORD failureCode;
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
// The runtime is the one CFG_RUNTIME_DIR names, the application's own; any
// other belongs to another product.
extern BOOL bundledRuntime;
extern DWORD priorityClass;        // the child's creation flags
extern BOOL jarInExe;              // CFG_JAR_IN_EXE, read with the runtime environment
extern wchar_t launcherArgs[LONG_TEXT_CAPACITY];
// The first configuration record found too long for its place of use in this
// run, 0 if none (config/config_records.h notes and explains it).
extern WORD configFaultRecord;

// The application's AppUserModelID (CFG_APP_USER_MODEL_ID): the launcher's own
// and the child's taskbar identity. Empty: the system's default identity.
extern wchar_t appUserModelId[APP_ID_CAPACITY];
extern HANDLE instanceMutex;       // the single-instance mutex; nullptr without CFG_MUTEX
extern BOOL forwardStarts;         // later starts are handed to this launcher's application (forwarding.h)
extern HANDLE childInput;          // the child's end of its standard-input pipe until it has started; nullptr: none
extern DWORD restartExitCode;      // the child's exit code that asks for a restart; 0: none
extern int restartCount;           // restarts so far; a restarted child gets -Dqdlauncher.restarted=<n>
extern BOOL reportShown;           // a report was shown in this run of the launcher
extern PROCESS_INFORMATION child;
extern DWORD childExitCode;
extern ULONGLONG startTick;

// One output of the child and the thread that copies it to a temporary file.
// The launcher fills in the pipe and the prefix and starts the thread with a
// pointer to its channel; from then on the thread uses only what its channel
// holds, and the launcher reads path and seen, and closes the read end, only
// once the thread has ended (ended is set). A thread that never ends keeps its
// channel and its handles to the end of the process.
struct CaptureChannel {
    HANDLE pipeRead;               // the thread's: read until the end of the data
    HANDLE pipeWrite;              // the launcher's: handed to the child, then closed
    const wchar_t* prefix;         // of the temporary file's name
    HANDLE thread;                 // the copying thread, until it is collected
    wchar_t path[PATH_CAPACITY];   // the temporary file; empty when none could be made
    BOOL seen;                     // the child wrote at least one byte
    BOOL ended;                    // the thread ended; path and seen are final
    char* head;                    // CAPTURE_HEAD_BYTES for the start of the output; nullptr: not kept
    DWORD headLength;              // bytes in head, as the child wrote them
};
extern CaptureChannel stderrCapture; // keeps the start of its output for the quick-failure report
extern CaptureChannel stdoutCapture; // used only with "--qd-stdout"
extern char stderrHead[CAPTURE_HEAD_BYTES]; // the error output's first bytes, given to stderrCapture

extern BOOL splashShown;
extern BOOL waitForChild;
extern int splashCountdown;        // seconds left
extern int splashSeconds;          // seconds the countdown started with
extern BOOL splashTimeoutIsError;
extern BOOL splashUntilWindow;
extern HWND splashWindow;
extern HBITMAP splashPicture;      // the picture given to the static control; nullptr for a layered splash

// Gives the variables whose first value is not zero that value (the default
// title, the splash's 60 seconds); the first step of a run. Set here rather
// than initialised, they take no room in the executable's file.
void initLaunchState();

// Puts every variable back to its value at process start (for tests that run
// several launches in one process).
void resetLaunchState();

// Clears what the preparation of a child and its run filled in: the runtime
// search's findings, the launcher path, creation flags and command line, the
// child's handles, its start time and the capture channels, and the pending
// failure code. What belongs to the launcher's whole run stays: its path, the
// log, the mutex and the forwarding endpoint, the taskbar identity, the title
// and messages, the starting directory, the restart
// count and the last child's exit code. Called before a restart prepares the
// next child; the capture threads must have ended.
void resetChildState();
