// Interim: the window and timer that drive the wait loop. The splash picture,
// its countdown and the window watch are not built yet.
#include "launch/splash.h"

#include "diag/ui_calls.h"
#include "launch/launch_state.h"

namespace {
const UINT_PTR SPLASH_TIMER_ID = 1;
}

bool startSplash(HINSTANCE instance, int, const wchar_t*) {
    if (!bindUserCalls()) return false;
    splashWindow = user32.CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, CW_USEDEFAULT,
                                          CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (splashWindow == nullptr) return false;
    return user32.SetTimer(splashWindow, SPLASH_TIMER_ID, 1000, splashTimerProc) != 0;
}

void stopSplashTimer() {
    if (splashWindow != nullptr) user32.KillTimer(splashWindow, SPLASH_TIMER_ID);
}

void CALLBACK splashTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    GetExitCodeProcess(child.hProcess, &childExitCode);
    if (childExitCode != STILL_ACTIVE || (!splashShown && !waitForChild)) {
        user32.KillTimer(splashWindow, SPLASH_TIMER_ID);
        user32.PostQuitMessage(0);
    }
}

BOOL CALLBACK findChildWindowProc(HWND, LPARAM) { return TRUE; }
