// The splash screen, the watch for the child's first window and the wait loop.
//
// One static tool window, splashWindow, shows the picture and owns a
// one-second timer while the splash is up. The picture is bitmap resource 1,
// or 2 (made for twice the pixel density) on a monitor of 150 % and more; it
// is scaled to keep its physical size on the monitor, and a picture with
// alpha makes the window a layered one (splash_picture.h). Each tick counts the
// splash down and looks for the child's first visible window; once the splash
// is hidden, its window, timer and picture are released at once. With
// CFG_WAIT alone the window exists, hidden and without a timer. The
// launcher's wait for the child dispatches the messages of this thread until
// the child ends and then destroys what window is left (see
// launcher_main.cpp). Everything runs on the main thread, inside that wait (or
// inside the loop of a report's message box).
#pragma once

#include <windows.h>
#include <stddef.h>

#include "config/record_table.h"

// Seconds the splash stays up when CFG_SPLASH_TIMEOUT is absent or invalid.
const int SPLASH_DEFAULT_SECONDS = 60;
// CFG_SPLASH_TIMEOUT holds at most this many units with its terminating zero.
const size_t SPLASH_TIMEOUT_CAPACITY = recordCapacity(CFG_SPLASH_TIMEOUT);

// Creates splashWindow; when splashShown, reads the splash records, gives the
// window its picture, centres and shows it, and starts the one-second timer.
// False when the window, the picture or the timer cannot be set up, with
// messageText and failureCode ready for the report.
bool startSplash(HINSTANCE instance, int showCode);

// Stops the timer, destroys splashWindow and deletes the picture the launcher
// loaded for it: when the splash is hidden, before a report that ends the run,
// and once the child has ended. Nothing when there is no window.
void endSplash();

// Pixels per inch of the monitor the splash appears on: the primary one,
// where splashWindow was made. The launcher is aware of each monitor's
// density (its manifest says so), so the system neither scales the splash nor
// reports a size other than the screen's pixels. Before Windows 10 1607,
// which cannot tell the density per window, the system's density; 96 when
// neither can be read.
UINT splashDpi();

// Where the splash's top-left corner goes so that a window with this frame is
// centred on a screen of that size (halves rounded toward zero).
POINT splashPosition(int screenWidth, int screenHeight, const RECT& frame);

void CALLBACK splashTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
BOOL CALLBACK findChildWindowProc(HWND window, LPARAM unused);

// The countdown that a CFG_SPLASH_TIMEOUT text gives: its number (converted as
// integer records are) when that lies from 1 to 900, otherwise 60. `text` need
// not be terminated within `length` units; a text of 10 units or more does not
// fit the record's place and counts as invalid, like any other bad value.
int splashCountdownFor(const wchar_t* text, size_t length);
