#include "launch/splash.h"

#include "config/config_records.h"
#include "diag/error_report.h"
#include "diag/ui_calls.h"
#include "launch/bounded_text.h"
#include "launch/launch_state.h"

namespace {

const UINT_PTR SPLASH_TIMER_ID = 1;
const UINT SPLASH_TICK_MS = 1000;
const int SPLASH_LONGEST_SECONDS = 900;
const WORD SPLASH_BITMAP_ID = 1;

const wchar_t NO_SPLASH_SWITCH[] = L"--qd-no-splash";
const size_t NO_SPLASH_SWITCH_LENGTH = sizeof(NO_SPLASH_SWITCH) / sizeof(wchar_t) - 1;

void hideSplash() {
    splashShown = FALSE;
    user32.ShowWindow(splashWindow, SW_HIDE);
}

// The records that shape a shown splash. The countdown text is measured here
// rather than read with a capacity: an over-long value is just an invalid
// number of seconds, not damage to the configuration.
void readSplashSettings(const wchar_t* argumentText) {
    const wchar_t* timeout = nullptr;
    size_t length = 0;
    if (findConfigRecord(CFG_SPLASH_TIMEOUT, &timeout, &length) == RECORD_FOUND) {
        splashCountdown = splashCountdownFor(timeout, length);
    }
    splashTimeoutIsError =
        loadConfigBool(CFG_SPLASH_TIMEOUT_ERROR) && !containsText(argumentText, L"--qd-no-splash-err");
    splashUntilWindow = loadConfigBool(CFG_SPLASH_UNTIL_WINDOW);
}

// Gives the window the picture at the picture's own size (a static control
// with SS_BITMAP takes the size of its bitmap), centres it on the primary
// screen and shows it.
bool showSplashPicture(HINSTANCE instance, int showCode) {
    HANDLE picture =
        user32.LoadImageW(instance, MAKEINTRESOURCEW(SPLASH_BITMAP_ID), IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE);
    if (picture == nullptr) {
        noteFailedCall();
        return false;
    }
    user32.SendMessageW(splashWindow, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));

    RECT frame = {};
    user32.GetWindowRect(splashWindow, &frame);
    POINT at = splashPosition(user32.GetSystemMetrics(SM_CXSCREEN), user32.GetSystemMetrics(SM_CYSCREEN), frame);
    user32.SetWindowPos(splashWindow, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE);

    user32.ShowWindow(splashWindow, showCode);
    user32.UpdateWindow(splashWindow);
    return true;
}

} // namespace

bool hasNoSplashSwitch(const wchar_t* argumentText) {
    for (const wchar_t* at = findText(argumentText, NO_SPLASH_SWITCH); at != nullptr;
         at = findText(at + 1, NO_SPLASH_SWITCH)) {
        if (!startsWith(at + NO_SPLASH_SWITCH_LENGTH, L"-err")) return true;
    }
    return false;
}

int splashCountdownFor(const wchar_t* text, size_t length) {
    if (length >= SPLASH_TIMEOUT_CAPACITY) return SPLASH_DEFAULT_SECONDS;
    wchar_t number[SPLASH_TIMEOUT_CAPACITY];
    copyTextN(number, SPLASH_TIMEOUT_CAPACITY, text, length);
    int seconds = parseConfigInt(number);
    return seconds >= 1 && seconds <= SPLASH_LONGEST_SECONDS ? seconds : SPLASH_DEFAULT_SECONDS;
}

POINT splashPosition(int screenWidth, int screenHeight, const RECT& frame) {
    POINT at;
    at.x = (screenWidth + frame.left - frame.right) / 2;
    at.y = (screenHeight + frame.top - frame.bottom) / 2;
    return at;
}

bool startSplash(HINSTANCE instance, int showCode, const wchar_t* argumentText) {
    if (!bindUserCalls()) return false;
    splashWindow = user32.CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, CW_USEDEFAULT,
                                          CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (splashWindow == nullptr) {
        explainFailedCall(L"The launcher could not create the window for its splash screen and its wait.");
        return false;
    }
    // The wait alone needs no timer: the launcher's wait watches the child's
    // process handle itself.
    if (!splashShown) return true;
    readSplashSettings(argumentText);
    if (configFaulted()) return false;
    if (!showSplashPicture(instance, showCode)) return false;
    if (user32.SetTimer(splashWindow, SPLASH_TIMER_ID, SPLASH_TICK_MS, splashTimerProc) == 0) {
        noteFailedCall();
        return false;
    }
    return true;
}

void stopSplashTimer() {
    if (splashWindow == nullptr) return;
    user32.KillTimer(splashWindow, SPLASH_TIMER_ID);
}

void endSplash() {
    if (splashWindow == nullptr) return;
    // Destroying the window also ends its timer.
    user32.DestroyWindow(splashWindow);
    splashWindow = nullptr;
    splashShown = FALSE;
}

void CALLBACK splashTimerProc(HWND window, UINT, UINT_PTR, DWORD) {
    if (splashShown) {
        if (splashCountdown <= 0) {
            hideSplash();
            if (splashUntilWindow && splashTimeoutIsError) {
                // The application showed no window in time. No tick may run
                // while the report is open (its box dispatches our timer); the
                // report is about the start, so no system text goes with it.
                user32.KillTimer(window, SPLASH_TIMER_ID);
                clearFailureCode();
                reportError();
                return;
            }
        } else {
            --splashCountdown;
            if (splashUntilWindow) user32.EnumWindows(findChildWindowProc, 0);
        }
    }
    // Once the splash is gone there is nothing left to count or watch.
    if (!splashShown) user32.KillTimer(window, SPLASH_TIMER_ID);
}

// Only a visible top-level window of the child's own process counts: a window
// the application has created but not shown yet, or one of a process it
// started, leaves the splash up.
BOOL CALLBACK findChildWindowProc(HWND window, LPARAM) {
    DWORD owner = 0;
    user32.GetWindowThreadProcessId(window, &owner);
    if (owner == 0 || owner != child.dwProcessId) return TRUE;
    if ((static_cast<DWORD>(user32.GetWindowLongW(window, GWL_STYLE)) & WS_VISIBLE) == 0) return TRUE;
    hideSplash();
    return FALSE;
}
