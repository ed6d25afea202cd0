#include "core/launch_state.h"

#include "core/bounded_text.h"

LauncherSwitches launcherSwitches;
HMODULE moduleHandle;
wchar_t exePath[PATH_CAPACITY];
size_t exeDirLen;
HANDLE logFile;
BOOL isWow64;
wchar_t helpUrl[URL_CAPACITY];
wchar_t errorTitle[NAME_CAPACITY];
wchar_t messageText[MESSAGE_CAPACITY];
DWORD failureCode;
wchar_t mutexName[NAME_CAPACITY];
wchar_t oldCwd[PATH_CAPACITY];
wchar_t workDir[PATH_CAPACITY];
wchar_t launcherPath[PATH_CAPACITY];
wchar_t (&runtimeHome)[PATH_CAPACITY] = launcherPath;
wchar_t minVersion[NAME_CAPACITY];
wchar_t maxVersion[NAME_CAPACITY];
wchar_t foundVersion[NAME_CAPACITY];
wchar_t foundRuntimeKey[PATH_CAPACITY];
DWORD foundRuntime;
BOOL bundledRuntime;
DWORD priorityClass;
BOOL jarInExe;
wchar_t launcherArgs[LONG_TEXT_CAPACITY];
wchar_t appUserModelId[APP_ID_CAPACITY];
WORD configFaultRecord;
HANDLE instanceMutex;
BOOL forwardStarts;
HANDLE childInput;
DWORD restartExitCode;
int restartCount;
BOOL reportShown;
PROCESS_INFORMATION child;
DWORD childExitCode;
ULONGLONG startTick;
// Apart from the channel, so the channels' initial values stay small.
char stderrHead[CAPTURE_HEAD_BYTES];
// All zero, so the two channels (with their paths) take no room in the
// executable's file; launcherMain gives them their prefixes and the error
// output's first bytes their buffer.
CaptureChannel stderrCapture;
CaptureChannel stdoutCapture;
BOOL splashShown;
BOOL waitForChild;
int splashCountdown;
int splashSeconds;
BOOL splashTimeoutIsError;
BOOL splashUntilWindow;
HWND splashWindow;
HBITMAP splashPicture;

void resetChildState() {
    clearText(launcherPath, PATH_CAPACITY);
    clearText(minVersion, NAME_CAPACITY);
    clearText(maxVersion, NAME_CAPACITY);
    clearText(foundVersion, NAME_CAPACITY);
    clearText(foundRuntimeKey, PATH_CAPACITY);
    foundRuntime = 0;
    bundledRuntime = FALSE;
    priorityClass = 0;
    jarInExe = FALSE;
    clearText(launcherArgs, LONG_TEXT_CAPACITY);
    childInput = nullptr;
    child = PROCESS_INFORMATION{};
    startTick = 0;
    stderrCapture = CaptureChannel{};
    stdoutCapture = CaptureChannel{};
    failureCode = 0;
}

void initLaunchState() {
    copyText(errorTitle, NAME_CAPACITY, L"QDLauncher");
    splashCountdown = splashSeconds = 60;
}

void resetLaunchState() {
    initLaunchState();
    resetChildState();
    launcherSwitches = LauncherSwitches{};
    moduleHandle = nullptr;
    clearText(exePath, PATH_CAPACITY);
    exeDirLen = 0;
    logFile = nullptr;
    isWow64 = FALSE;
    clearText(helpUrl, URL_CAPACITY);
    clearText(messageText, MESSAGE_CAPACITY);
    clearText(mutexName, NAME_CAPACITY);
    clearText(oldCwd, PATH_CAPACITY);
    clearText(workDir, PATH_CAPACITY);
    clearText(appUserModelId, APP_ID_CAPACITY);
    instanceMutex = nullptr;
    forwardStarts = FALSE;
    restartExitCode = 0;
    restartCount = 0;
    reportShown = FALSE;
    childExitCode = 0;
    splashShown = waitForChild = FALSE;
    splashTimeoutIsError = splashUntilWindow = FALSE;
    splashWindow = nullptr;
    splashPicture = nullptr;
    configFaultRecord = 0;
}
