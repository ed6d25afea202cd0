// The splash screen, the watch for the child's first window and the wait loop.
#pragma once

#include <windows.h>

// Creates the splash window (shown when splashShown) and its one-second timer.
// False when the window, the picture or the timer cannot be set up.
bool startSplash(HINSTANCE instance, int showCode, const wchar_t* argumentText);

// Stops the timer so that a report shown before the message loop runs is not
// closed by the timer's quit message.
void stopSplashTimer();

void CALLBACK splashTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
BOOL CALLBACK findChildWindowProc(HWND window, LPARAM unused);
