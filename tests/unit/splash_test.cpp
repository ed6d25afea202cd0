// The splash rules that need no screen (the countdown, the centring, the
// picture chosen for a pixel density and its scaling) and what the ticks of its
// timer do to a model of the screen held by stand-ins for the user32 calls:
// whether the splash is visible, whether the timer still runs, which reports
// were shown. What the end-to-end tests
// see on a real display (the window, its size and place, the report on a
// timeout, the splash going when the application's window shows) is not
// repeated here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "diag/ui_calls.h"
#include "launch/splash.h"
#include "launch/splash_picture.h"

namespace {

TEST(SplashCountdown, SecondsFromOneTo900AreKeptAnythingElseGives60) {
    const struct {
        const wchar_t* text;
        int seconds;
    } cases[] = {
        {L"900", 900},        {L"1", 1},           {L"45", 45},         {L" 30", 30},
        {L"+7", 7},           {L"12abc", 12},      {L"000000005", 5},   // 9 characters fit
        {L"901", 60},         {L"0", 60},          {L"-5", 60},         {L"abc", 60},
        {L"", 60},            {L"0000000005", 60}, // 10 characters do not fit
        {L"99999999999", 60}, {L"-2147483648", 60},
    };
    for (const auto& c : cases) {
        std::wstring text = c.text;
        EXPECT_EQ(c.seconds, splashCountdownFor(text.c_str(), text.size())) << testing::PrintToString(text);
    }
}

TEST(SplashCountdown, ReadsOnlyTheRecordsOwnUnits) {
    // A record stored without its terminator ends with its data.
    const wchar_t stored[] = {L'1', L'2', L'3', L'4'};
    EXPECT_EQ(12, splashCountdownFor(stored, 2));
}

TEST(SplashPosition, CentredOnTheScreenWithHalvesRoundedTowardZero) {
    const struct {
        int width, height;
        RECT frame;
        LONG x, y;
    } cases[] = {
        {1280, 1024, {0, 0, 201, 121}, 539, 451},
        {1280, 1024, {10, 20, 211, 141}, 539, 451}, // the size counts, not where the window was
        {800, 600, {0, 0, 1001, 701}, -100, -50},   // larger than the screen: -100.5 and -50.5
        {1920, 1080, {0, 0, 1920, 1080}, 0, 0},
    };
    for (const auto& c : cases) {
        POINT at = splashPosition(c.width, c.height, c.frame);
        EXPECT_EQ(c.x, at.x) << c.width << "x" << c.height;
        EXPECT_EQ(c.y, at.y) << c.width << "x" << c.height;
    }
}

TEST(SplashScale, TheBitmapNearestTheMonitorsScaleAndItsSizeThere) {
    const struct {
        UINT dpi;
        bool haveDouble;
        WORD bitmap;
        int width; // of a picture 201 pixels wide (402 for bitmap 2)
    } cases[] = {
        {96, true, 1, 201},  {120, true, 1, 251},  // 125 %: 251.25
        {143, true, 1, 299}, {144, true, 2, 302},  // the tie at 150 % takes the larger, scaled down
        {192, true, 2, 402}, {288, true, 2, 603},  // 200 % fits; 300 %
        {192, false, 1, 402}, {48, false, 1, 101}, // no bitmap 2: 1 scaled up; 100.5 rounds up
    };
    for (const auto& c : cases) {
        WORD bitmap = splashBitmapFor(c.dpi, c.haveDouble);
        EXPECT_EQ(c.bitmap, bitmap) << c.dpi;
        EXPECT_EQ(c.width, splashSideAt(bitmap == 2 ? 402 : 201, c.dpi, bitmap)) << c.dpi;
    }
    EXPECT_EQ(1, splashSideAt(1, 20, 1)) << "never less than a pixel";
}

// The density the splash is sized for: the window's where the system can tell
// it (Windows 10 1607 and later), else the screen's, else 96.
UINT windowDpi;
int screenDpi;
int screenContexts; // taken and not yet given back
UINT WINAPI fakeGetDpiForWindow(HWND) { return windowDpi; }
HDC WINAPI fakeGetDC(HWND) { return ++screenContexts, reinterpret_cast<HDC>(0x5c); }
int WINAPI fakeReleaseDC(HWND, HDC) { return --screenContexts, 1; }
int WINAPI fakeGetDeviceCaps(HDC, int index) { return index == LOGPIXELSX ? screenDpi : 0; }

TEST(SplashDpi, TheWindowsDensityElseTheScreensElse96) {
    ASSERT_TRUE(bindUserCalls() && bindGdiCalls());
    const UserCalls realUser = user32;
    const GdiCalls realGdi = gdi32;
    user32.GetDC = fakeGetDC;
    user32.ReleaseDC = fakeReleaseDC;
    gdi32.GetDeviceCaps = fakeGetDeviceCaps;
    const struct {
        bool perWindow; // the system has GetDpiForWindow
        UINT window;
        int screen;
        UINT dpi;
    } cases[] = {
        {true, 144, 96, 144}, {true, 0, 120, 96}, // a window the system cannot tell about
        {false, 0, 192, 192}, {false, 0, 0, 96},
    };
    for (const auto& c : cases) {
        user32.GetDpiForWindow = c.perWindow ? fakeGetDpiForWindow : nullptr;
        windowDpi = c.window;
        screenDpi = c.screen;
        EXPECT_EQ(c.dpi, splashDpi()) << c.perWindow << " " << c.window << " " << c.screen;
        EXPECT_EQ(0, screenContexts) << "the screen's context is given back";
    }
    user32 = realUser;
    gdi32 = realGdi;
}

// A packed DIB of `pixels` bytes after a header of `headerSize` bytes.
std::vector<BYTE> dib(DWORD headerSize, WORD bits, DWORD compression, size_t pixels, DWORD redMask = 0xFF0000) {
    std::vector<BYTE> bytes(headerSize + pixels);
    BITMAPV5HEADER header = {};
    header.bV5Size = headerSize;
    header.bV5Width = 3;
    header.bV5Height = 2;
    header.bV5Planes = 1;
    header.bV5BitCount = bits;
    header.bV5Compression = compression;
    header.bV5RedMask = redMask;
    header.bV5GreenMask = 0xFF00;
    header.bV5BlueMask = 0xFF;
    header.bV5AlphaMask = 0xFF000000;
    memcpy(bytes.data(), &header, headerSize);
    return bytes;
}

TEST(SplashBitmapFormat, TheLauncherDrawsOnly24And32BitsWithAllRowsPresent) {
    const struct {
        const char* name;
        std::vector<BYTE> data;
        bool drawn, alpha;
    } cases[] = {
        {"24 bits, rows padded to 4 bytes", dib(40, 24, BI_RGB, 24), true, false},
        {"32 bits without alpha", dib(40, 32, BI_RGB, 24), true, false},
        {"32 bits premultiplied (V5)", dib(124, 32, BI_BITFIELDS, 24), true, true},
        {"32 bits, masks in another order", dib(124, 32, BI_BITFIELDS, 24, 0xFF), false, false},
        {"8-bit palette: the system draws it", dib(40, 8, BI_RGB, 1024 + 8), false, false},
        {"24 bits, last row missing", dib(40, 24, BI_RGB, 23), false, false},
    };
    for (const auto& c : cases) {
        SplashBitmap bitmap;
        EXPECT_TRUE(readSplashBitmap(c.data.data(), c.data.size(), &bitmap)) << c.name;
        EXPECT_EQ(c.drawn, bitmap.pixels != nullptr) << c.name;
        EXPECT_EQ(c.alpha, bitmap.alpha) << c.name;
    }
    SplashBitmap bitmap;
    EXPECT_FALSE(readSplashBitmap(dib(40, 24, BI_RGB, 0).data(), 30, &bitmap)) << "shorter than a header";
}

// Pixels out of a scaled picture: B, G, R, A, rows top-down.
std::vector<BYTE> scaled(const SplashBitmap& bitmap, int width, int height) {
    std::vector<BYTE> out(static_cast<size_t>(width) * height * 4);
    scaleSplashPixels(bitmap, out.data(), width, height);
    return out;
}

TEST(SplashScaling, OwnSizeIsAnExactCopyAndScalingBlendsPremultipliedNeighbours) {
    // 24 bits, bottom-up: the stored rows are 2 then 1; each padded by 2 bytes.
    const BYTE rows[] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    EXPECT_EQ(scaled({2, 2, true, false, 3, 8, rows}, 2, 2),
              (std::vector<BYTE>{7, 8, 9, 255, 10, 11, 12, 255, 1, 2, 3, 255, 4, 5, 6, 255}));
    // Opaque white, then fully transparent, twice as wide: the centres of the
    // new pixels fall on 0, 0.25, 0.75 and 1 of the old ones (clamped at the edges).
    const BYTE pair[] = {255, 255, 255, 255, 0, 0, 0, 0};
    std::vector<BYTE> wide = scaled({2, 1, false, true, 4, 8, pair}, 4, 1);
    const BYTE shares[] = {255, 191, 64, 0}; // 255 * 3/4 and 255 / 4, rounded
    for (size_t i = 0; i < wide.size(); ++i) EXPECT_EQ(shares[i / 4], wide[i]) << i;
}

// ---- Ticks of the splash timer ---------------------------------------------

struct FakeWindow {
    HWND handle;
    DWORD owner;
    LONG style;
};

// The screen as the stand-ins keep it.
struct FakeScreen {
    bool splashVisible = false;
    bool splashExists = false;
    bool timerRunning = false;
    std::vector<std::wstring> reports;
    std::vector<bool> timerRunningDuringReport;
    int enumerations = 0;
    std::vector<FakeWindow> windows; // in the order EnumWindows offers them
    HGDIOBJ heldByControl = nullptr; // the bitmap the static control hands back
    std::vector<HGDIOBJ> deleted;    // bitmaps deleted, in order
} screen;

HWND const SPLASH = reinterpret_cast<HWND>(0x5A5A);

UINT_PTR WINAPI fakeSetTimer(HWND window, UINT_PTR id, UINT, TIMERPROC) {
    if (window == SPLASH) screen.timerRunning = true;
    return id;
}

BOOL WINAPI fakeDestroyWindow(HWND window) {
    if (window != SPLASH || !screen.splashExists) return FALSE;
    screen.splashExists = screen.splashVisible = screen.timerRunning = false;
    return TRUE;
}

LRESULT WINAPI fakeSendMessageW(HWND window, UINT message, WPARAM, LPARAM image) {
    if (window != SPLASH || message != STM_SETIMAGE) return 0;
    HGDIOBJ previous = screen.heldByControl;
    screen.heldByControl = reinterpret_cast<HGDIOBJ>(image);
    return reinterpret_cast<LRESULT>(previous);
}

BOOL WINAPI fakeDeleteObject(HGDIOBJ object) {
    screen.deleted.push_back(object);
    return TRUE;
}

int WINAPI fakeMessageBoxW(HWND, LPCWSTR text, LPCWSTR, UINT) {
    screen.reports.push_back(text);
    screen.timerRunningDuringReport.push_back(screen.timerRunning);
    return IDOK;
}

BOOL WINAPI fakeEnumWindows(WNDENUMPROC proc, LPARAM param) {
    ++screen.enumerations;
    for (const FakeWindow& window : screen.windows) {
        if (!proc(window.handle, param)) break;
    }
    return TRUE;
}

const FakeWindow* fakeWindow(HWND handle) {
    for (const FakeWindow& window : screen.windows) {
        if (window.handle == handle) return &window;
    }
    return nullptr;
}

DWORD WINAPI fakeGetWindowThreadProcessId(HWND handle, LPDWORD owner) {
    const FakeWindow* window = fakeWindow(handle);
    if (owner != nullptr) *owner = window != nullptr ? window->owner : 0;
    return 1;
}

LONG WINAPI fakeGetWindowLongW(HWND handle, int index) {
    const FakeWindow* window = fakeWindow(handle);
    return window != nullptr && index == GWL_STYLE ? window->style : 0;
}

const DWORD CHILD_PID = 4242;
const wchar_t* const STARTUP_ERROR = L"Start failed.";

class SplashTickTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bindUserCalls());
        ASSERT_TRUE(bindGdiCalls());
        real = user32;
        realGdi = gdi32;
        startFresh();
    }
    void TearDown() override {
        user32 = real;
        gdi32 = realGdi;
        resetLaunchState();
    }

    // A new run with the stand-ins in place; also between the cases of one test.
    void startFresh() {
        resetLaunchState();
        screen = FakeScreen{};
        user32.SetTimer = fakeSetTimer;
        user32.MessageBoxW = fakeMessageBoxW;
        user32.EnumWindows = fakeEnumWindows;
        user32.GetWindowThreadProcessId = fakeGetWindowThreadProcessId;
        user32.GetWindowLongW = fakeGetWindowLongW;
        user32.DestroyWindow = fakeDestroyWindow;
        user32.SendMessageW = fakeSendMessageW;
        gdi32.DeleteObject = fakeDeleteObject;
        copyText(messageText, MESSAGE_CAPACITY, STARTUP_ERROR);
    }

    // A run whose splash is up, with `secondsLeft` on its countdown.
    void splashUp(int secondsLeft) {
        splashWindow = SPLASH;
        splashShown = TRUE;
        splashCountdown = secondsLeft;
        screen.splashVisible = screen.splashExists = true;
        screen.timerRunning = true;
        child.dwProcessId = CHILD_PID;
    }
    void tick() { splashTimerProc(SPLASH, WM_TIMER, 1, 0); }
    // Ticks until the splash is gone; the number of ticks that took.
    int ticksUntilGone(int limit) {
        for (int ticks = 1; ticks <= limit; ++ticks) {
            tick();
            if (!screen.splashVisible) return ticks;
        }
        return -1;
    }

    UserCalls real;
    GdiCalls realGdi;
};

TEST_F(SplashTickTest, CountdownOfNSecondsKeepsTheSplashUpForNPlusOneTicks) {
    for (int seconds : {1, 3, 60}) {
        startFresh();
        splashUp(seconds);
        EXPECT_EQ(seconds + 1, ticksUntilGone(1000)) << seconds;
        EXPECT_FALSE(splashShown);
        EXPECT_FALSE(screen.timerRunning) << "nothing is left to count down once the splash is gone";
        EXPECT_FALSE(screen.splashExists) << "the window is released once the splash is hidden";
    }
}

TEST_F(SplashTickTest, EndOfTheCountdownIsReportedOnlyWhenItWaitsForAWindowAndCountsAsAFailure) {
    const struct {
        BOOL untilWindow, isError;
        size_t reports;
    } cases[] = {
        {TRUE, TRUE, 1},
        {TRUE, FALSE, 0},
        {FALSE, TRUE, 0},
        {FALSE, FALSE, 0},
    };
    for (const auto& c : cases) {
        startFresh();
        splashUp(0);
        splashUntilWindow = c.untilWindow;
        splashTimeoutIsError = c.isError;
        waitForChild = TRUE; // waiting for the child changes nothing here
        tick();

        SCOPED_TRACE(testing::Message() << "until window " << c.untilWindow << ", error " << c.isError);
        EXPECT_FALSE(screen.splashVisible);
        EXPECT_FALSE(screen.timerRunning);
        ASSERT_EQ(c.reports, screen.reports.size());
        if (c.reports == 0) continue;
        EXPECT_FALSE(screen.timerRunningDuringReport[0]) << "a tick inside the report's box would count on";
    }
}

TEST_F(SplashTickTest, WindowsAreLookedForOnlyWhenTheSplashWaitsForOne) {
    splashUp(3);
    tick();
    EXPECT_EQ(0, screen.enumerations);
    EXPECT_EQ(2, splashCountdown);

    splashUntilWindow = TRUE;
    tick();
    EXPECT_EQ(1, screen.enumerations);
    EXPECT_EQ(1, splashCountdown);
    EXPECT_TRUE(screen.splashVisible);
}

TEST_F(SplashTickTest, OnlyAVisibleWindowOfTheChildItselfEndsTheSplash) {
    auto window = [](ULONG_PTR handle) { return reinterpret_cast<HWND>(handle); };
    splashUp(10);
    splashUntilWindow = TRUE;
    screen.windows = {
        {window(0x10), CHILD_PID + 1, WS_VISIBLE | WS_OVERLAPPEDWINDOW}, // a process the child started, say
        {window(0x20), CHILD_PID, WS_OVERLAPPEDWINDOW},                  // created, not shown yet
        {window(0x30), 0, WS_VISIBLE},                                   // owner unknown
    };
    tick();
    EXPECT_TRUE(screen.splashVisible);
    EXPECT_TRUE(screen.timerRunning);

    screen.windows.push_back({window(0x40), CHILD_PID, WS_VISIBLE | WS_OVERLAPPEDWINDOW});
    tick();
    EXPECT_FALSE(screen.splashVisible) << "hidden on the tick that found the window";
    EXPECT_FALSE(splashShown);
    EXPECT_FALSE(screen.timerRunning);
    EXPECT_TRUE(screen.reports.empty());
    EXPECT_EQ(8, splashCountdown);
}

TEST_F(SplashTickTest, PictureGoesWithTheWindowAndSoDoesTheControlsCopyOfIt) {
    HGDIOBJ const loaded = reinterpret_cast<HGDIOBJ>(0xB17);
    HGDIOBJ const copy = reinterpret_cast<HGDIOBJ>(0xC07);
    const struct {
        const char* name;
        HGDIOBJ held; // what the static control shows
        std::vector<HGDIOBJ> deleted;
    } cases[] = {
        {"the control shows the bitmap it was given", loaded, {loaded}},
        // A control of version 6 copies a picture with alpha; the copy is the caller's to delete.
        {"the control made a copy", copy, {copy, loaded}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFresh();
        splashUp(5);
        splashPicture = static_cast<HBITMAP>(loaded);
        screen.heldByControl = c.held;
        endSplash();
        EXPECT_FALSE(screen.splashExists);
        EXPECT_EQ(nullptr, screen.heldByControl) << "the control was asked for its picture before the window went";
        EXPECT_EQ(c.deleted, screen.deleted);
        EXPECT_EQ(nullptr, splashPicture);
    }
}

} // namespace
