#include "launch/splash.h"

#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "diag/ui_calls.h"
#include "launch/splash_picture.h"

namespace {

const UINT_PTR SPLASH_TIMER_ID = 1;
const UINT SPLASH_TICK_MS = 1000;
const int SPLASH_LONGEST_SECONDS = 900;


// The records that shape a shown splash. The countdown text is measured here
// rather than read with a capacity: an over-long value is just an invalid
// number of seconds, not damage to the configuration.
void readSplashSettings() {
    const wchar_t* timeout = nullptr;
    size_t length = 0;
    if (findConfigRecord(CFG_SPLASH_TIMEOUT, &timeout, &length) == RECORD_FOUND) {
        splashCountdown = splashSeconds = splashCountdownFor(timeout, length);
    }
    splashTimeoutIsError = loadConfigBool<CFG_SPLASH_TIMEOUT_ERROR>() && !launcherSwitches.noSplashError;
    splashUntilWindow = loadConfigBool<CFG_SPLASH_UNTIL_WINDOW>();
}


// Bitmap resource `id` read in place; false when there is none, or none the
// launcher can read (the system's loading then decides and reports).
bool findSplashBitmap(HINSTANCE instance, WORD id, SplashBitmap* bitmap) {
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_BITMAP);
    HGLOBAL loaded = resource != nullptr ? LoadResource(instance, resource) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    return data != nullptr && readSplashBitmap(data, SizeofResource(instance, resource), bitmap);
}

// An opaque picture in a static control (SS_BITMAP takes the size of its
// bitmap), loaded by the system at its own size (0, 0) or stretched to the
// size given, centred on the primary screen and shown.
bool showStaticPicture(HINSTANCE instance, WORD id, int width, int height, int showCode) {
    HANDLE picture = user32.LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, width, height, LR_DEFAULTSIZE);
    if (picture == nullptr) {
        noteFailedCall();
        return false;
    }
    // The launcher keeps the picture to delete it with the window: the
    // control never deletes a bitmap it was given.
    splashPicture = static_cast<HBITMAP>(picture);
    user32.SendMessageW(splashWindow, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));

    RECT frame = {};
    user32.GetWindowRect(splashWindow, &frame);
    POINT at = splashPosition(user32.GetSystemMetrics(SM_CXSCREEN), user32.GetSystemMetrics(SM_CYSCREEN), frame);
    user32.SetWindowPos(splashWindow, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE);

    user32.ShowWindow(splashWindow, showCode);
    user32.UpdateWindow(splashWindow);
    return true;
}

// The picture drawn by the launcher at `width` x `height` and handed to the
// system as the content of a layered window, which blends it over the desktop
// with its per-pixel alpha (an opaque picture scaled to the monitor is the
// same with alpha 255). The system keeps its own copy, so the launcher's
// bitmap is released at once.
bool showLayeredPicture(const SplashBitmap& bitmap, int width, int height, int showCode) {
    if (!bindGdiCalls()) {
        noteFailedCall();
        return false;
    }
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height; // rows top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    HDC memory = gdi32.CreateCompatibleDC(nullptr);
    HBITMAP picture = memory != nullptr ? gdi32.CreateDIBSection(memory, &format, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
    bool shown = false;
    if (picture != nullptr) {
        scaleSplashPixels(bitmap, static_cast<BYTE*>(pixels), width, height);
        HGDIOBJ previous = gdi32.SelectObject(memory, picture);
        user32.SetWindowLongW(splashWindow, GWL_EXSTYLE, WS_EX_TOOLWINDOW | WS_EX_LAYERED);
        RECT frame = {0, 0, width, height};
        POINT at = splashPosition(user32.GetSystemMetrics(SM_CXSCREEN), user32.GetSystemMetrics(SM_CYSCREEN), frame);
        SIZE size = {width, height};
        POINT origin = {0, 0};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        shown = user32.UpdateLayeredWindow(splashWindow, nullptr, &at, &size, memory, &origin, 0, &blend, ULW_ALPHA);
        if (!shown) noteFailedCall();
        gdi32.SelectObject(memory, previous);
        gdi32.DeleteObject(picture);
    } else {
        // These two calls are not documented to leave an error code: the
        // last-error value would be whatever an earlier call left behind.
        explainFailure("The splash picture could not be drawn.");
    }
    if (memory != nullptr) gdi32.DeleteDC(memory);
    if (shown) user32.ShowWindow(splashWindow, showCode);
    return shown;
}

// Shows the bitmap whose scale suits the monitor: bitmap 2 (made for twice
// the density) from 150 % on, when there is one. A picture that has alpha,
// or that must be scaled to give the splash the same physical size at every
// scale, is drawn by the launcher, smoothly; an opaque picture at its own
// size, and one in a format the launcher leaves to the system, goes into a
// static control as it always did.
bool showSplashPicture(HINSTANCE instance, int showCode) {
    UINT dpi = splashDpi();
    SplashBitmap bitmap;
    WORD id = splashBitmapFor(dpi, findSplashBitmap(instance, SPLASH_DOUBLE_BITMAP_ID, &bitmap));
    if (!findSplashBitmap(instance, id, &bitmap)) return showStaticPicture(instance, id, 0, 0, showCode);
    int scale = id == SPLASH_DOUBLE_BITMAP_ID ? 2 : 1;
    int width = splashSideAt(bitmap.width, dpi, scale);
    int height = splashSideAt(bitmap.height, dpi, scale);
    bool ownSize = width == bitmap.width && height == bitmap.height;
    if (bitmap.pixels == nullptr || (!bitmap.alpha && ownSize)) {
        return showStaticPicture(instance, id, ownSize ? 0 : width, ownSize ? 0 : height, showCode);
    }
    return showLayeredPicture(bitmap, width, height, showCode);
}

} // namespace

UINT splashDpi() {
    int dpi = 0;
    if (user32.GetDpiForWindow != nullptr) {
        dpi = static_cast<int>(user32.GetDpiForWindow(splashWindow));
    } else if (bindGdiCalls()) {
        // Before Windows 10 1607 there is no density per window; the screen's
        // is the system's, which the manifest's awareness gets unscaled.
        HDC screen = user32.GetDC(nullptr);
        if (screen != nullptr) {
            dpi = gdi32.GetDeviceCaps(screen, LOGPIXELSX);
            user32.ReleaseDC(nullptr, screen);
        }
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
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

bool startSplash(HINSTANCE instance, int showCode) {
    if (!bindUserCalls()) return false;
    splashWindow = user32.CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, CW_USEDEFAULT,
                                          CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (splashWindow == nullptr) {
        explainFailedCall("The launcher could not create the window for its splash screen and its wait.");
        return false;
    }
    // The wait alone needs no timer: the launcher's wait watches the child's
    // process handle itself.
    if (!splashShown) return true;
    readSplashSettings();
    if (configFaulted()) return false;
    if (!showSplashPicture(instance, showCode)) return false;
    if (user32.SetTimer(splashWindow, SPLASH_TIMER_ID, SPLASH_TICK_MS, splashTimerProc) == 0) {
        noteFailedCall();
        return false;
    }
    return true;
}

void endSplash() {
    if (splashWindow == nullptr) return;
    // The control hands back the bitmap it shows: the one it was given, or a
    // copy it made of a picture with alpha, which is then the launcher's to
    // delete too.
    HGDIOBJ shown = nullptr;
    if (splashPicture != nullptr) {
        shown = reinterpret_cast<HGDIOBJ>(user32.SendMessageW(splashWindow, STM_SETIMAGE, IMAGE_BITMAP, 0));
    }
    // The timer and a layered window's surface go with the window.
    user32.DestroyWindow(splashWindow);
    splashWindow = nullptr;
    splashShown = FALSE;
    if (splashPicture != nullptr && bindGdiCalls()) {
        if (shown != nullptr && shown != splashPicture) gdi32.DeleteObject(shown);
        gdi32.DeleteObject(splashPicture);
    }
    splashPicture = nullptr;
}

namespace {

// The end of the countdown as a failed start: the application showed no
// window in time. The report says so, after the start-up message, and is about
// the start: no system text goes with it.
void reportNoWindowInTime() {
    logLine("Splash timeout:\tno window of the application within %d s\n", splashSeconds);
    wchar_t reason[96];
    TextBuffer b = emptyTextBuffer(reason, 96);
    appendText(b, "The application did not show its window within ");
    appendDecimal(b, splashSeconds);
    appendText(b, splashSeconds == 1 ? L" second." : L" seconds.");
    explainFailure(reason);
    reportError();
}

} // namespace

// The splash goes as soon as it is hidden: its window (with a layered window's
// surface, several megabytes for a large picture) and its picture are
// released then, not when the application ends. The wait needs no window of
// its own after it: it dispatches this thread's messages whatever windows
// remain (launcher_main.cpp).
void CALLBACK splashTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (!splashShown) return;
    if (splashCountdown <= 0) {
        // Gone before the report, so that no tick runs inside the report's
        // box (which dispatches this thread's timers) and the box is not
        // shown over the splash.
        endSplash();
        if (splashUntilWindow && splashTimeoutIsError) reportNoWindowInTime();
        return;
    }
    --splashCountdown;
    if (splashUntilWindow) user32.EnumWindows(findChildWindowProc, 0);
    if (!splashShown) endSplash();
}

// Only a visible top-level window of the child's own process counts: a window
// the application has created but not shown yet, or one of a process it
// started, leaves the splash up. The tick takes the splash down once the
// enumeration is over.
BOOL CALLBACK findChildWindowProc(HWND window, LPARAM) {
    DWORD owner = 0;
    user32.GetWindowThreadProcessId(window, &owner);
    if (owner == 0 || owner != child.dwProcessId) return TRUE;
    if ((static_cast<DWORD>(user32.GetWindowLongW(window, GWL_STYLE)) & WS_VISIBLE) == 0) return TRUE;
    splashShown = FALSE;
    return FALSE;
}
