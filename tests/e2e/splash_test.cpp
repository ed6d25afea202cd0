// The splash screen and the wait loop as the user sees them: a picture in the
// middle of the screen while the application starts, gone once the
// application's first window shows or its countdown ends, a report when the
// application never showed a window in time, and a launcher that stays until
// its application ends when it is told to wait. A picture with transparency
// shows the desktop through it, and on a screen of twice the density the
// splash keeps its physical size.
#include "launcher_fixture.h"

#include <functional>

using namespace e2e;

namespace {

const wchar_t* const STARTUP_ERROR = L"An error occurred while starting the application.";
const int PICTURE_WIDTH = 201; // odd, so centring has a half pixel to drop
const int PICTURE_HEIGHT = 121;

// The launcher's own windows: every thread that uses windows also gets the
// system's hidden input-method window, which is not the launcher's doing.
std::vector<WindowInfo> launcherWindows(DWORD pid) {
    std::vector<WindowInfo> own;
    for (const WindowInfo& window : topLevelWindows(pid)) {
        if (window.className != L"IME") own.push_back(window);
    }
    return own;
}

bool hasSplashWindow(DWORD pid) {
    for (const WindowInfo& window : topLevelWindows(pid)) {
        if (window.className == L"Static") return true;
    }
    return false;
}

bool anyVisibleWindow(const std::vector<WindowInfo>& windows) {
    for (const WindowInfo& window : windows) {
        if (window.visible) return true;
    }
    return false;
}

// Whether the thread that owns the window reads its messages, as a program
// that broadcasts a message waits for every top-level window to answer.
bool answersMessages(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0;
}

// Watches a box that nobody has answered yet for a little over two timer
// periods: a box closed by a stray quit message would vanish within one.
bool staysOpen(HWND box) {
    ULONGLONG end = GetTickCount64() + 2500;
    while (GetTickCount64() < end) {
        if (!IsWindow(box) || !IsWindowVisible(box)) return false;
        Sleep(20);
    }
    return true;
}

const COLORREF BACKDROP_COLOUR = RGB(40, 80, 160);
const COLORREF PICTURE_COLOUR = RGB(230, 120, 20);
const COLORREF DOUBLE_PICTURE_COLOUR = RGB(20, 200, 90); // not in the 24-bit picture's gradient
const int CORNER = 20; // the transparent and the half-transparent square

COLORREF screenPixel(LONG x, LONG y) {
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

LONG width(const RECT& rect) { return rect.right - rect.left; }
LONG height(const RECT& rect) { return rect.bottom - rect.top; }
COLORREF centreColour(const RECT& rect) { return screenPixel(rect.left + width(rect) / 2, rect.top + height(rect) / 2); }

// A window of the test's own that covers the screen in one colour, so that
// what shows through the splash is known.
class Backdrop {
public:
    Backdrop() {
        WNDCLASSW type = {};
        type.lpfnWndProc = DefWindowProcW;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hbrBackground = CreateSolidBrush(BACKDROP_COLOUR);
        type.lpszClassName = L"QdTestBackdrop";
        RegisterClassW(&type);
        window = CreateWindowExW(WS_EX_TOOLWINDOW, type.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                 type.hInstance, nullptr);
        UpdateWindow(window);
        // The window is painted from this thread's messages: when the display
        // shows it later than its creation (it is not the foreground
        // process's, say), the paint waits for them.
        shown = waitUntil([] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            return screenPixel(5, 5) == BACKDROP_COLOUR;
        }, 15000);
    }
    ~Backdrop() { DestroyWindow(window); }
    HWND window;
    bool shown;
};

class SplashTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        installRuntime();
    }

    // Stamps the records and the splash picture into the launcher.
    void addSplashPicture(const std::string& bmpFile = makeBitmapFile(PICTURE_WIDTH, PICTURE_HEIGHT)) {
        prepareLauncher();
        ASSERT_TRUE(stampBitmap(exePath(), bmpFile));
    }

    // The application starts and waits to be released; `look` sees the
    // launcher's windows once it has started.
    RunResult runWhileStarted(const std::function<void(DWORD pid)>& look) {
        clearFlags();
        childActions("touch " + flagArg(L"started") + "\nwait-file " + flagArg(L"release") + "\n");
        bool looked = false;
        whileRunning = [&](DWORD pid) {
            if (looked || !fileExists(flag(L"started"))) return;
            looked = true;
            look(pid);
            raise(L"release");
        };
        RunResult run = launch();
        EXPECT_TRUE(looked) << "the application never started";
        return run;
    }

    // Files the test and the stand-in runtime signal each other with.
    std::wstring flag(const std::wstring& name) const { return joinPath(testDir, name); }
    std::string flagArg(const std::wstring& name) const { return narrow(flag(name)); }
    void raise(const std::wstring& name) const { ASSERT_TRUE(writeFileBytes(flag(name), "")); }
    void clearFlags() const {
        for (const wchar_t* name : {L"started", L"go", L"shown", L"release", L"ending"}) DeleteFileW(flag(name).c_str());
    }

    // The application starts, creates a window it never shows and waits to be
    // released; its splash countdown is 2 seconds.
    void applicationWithoutVisibleWindow() {
        records[4] = L"true"; // CFG_SPLASH
        records[5] = L"true"; // CFG_SPLASH_UNTIL_WINDOW
        records[6] = L"2";    // CFG_SPLASH_TIMEOUT
        childActions("hidden-window Not Shown Yet\ntouch " + flagArg(L"started") + "\nwait-file " +
                     flagArg(L"release") + "\nexit 7\n");
    }
};

TEST_F(SplashTest, SplashIsAToolWindowOfThePicturesSizeInTheMiddleOfTheScreen) {
    records[4] = L"true"; // CFG_SPLASH
    addSplashPicture();
    childActions("touch " + flagArg(L"started") + "\nwait-file " + flagArg(L"release") + "\nexit 5\n");
    std::vector<WindowInfo> windows;
    bool looked = false;
    whileRunning = [&](DWORD pid) {
        if (looked || !fileExists(flag(L"started"))) return;
        looked = true;
        windows = launcherWindows(pid);
        raise(L"release");
    };
    RunResult run = launch();

    EXPECT_EQ(5u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    ASSERT_TRUE(looked) << "the application never started";
    ASSERT_EQ(1u, windows.size()) << "the launcher has one window";
    const WindowInfo& splash = windows[0];
    EXPECT_TRUE(splash.visible);
    EXPECT_EQ(L"Static", splash.className);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_TOOLWINDOW), splash.exStyle & WS_EX_TOOLWINDOW);
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | SS_BITMAP), splash.style & (WS_POPUP | WS_CHILD | SS_TYPEMASK));
    EXPECT_EQ(PICTURE_WIDTH, splash.rect.right - splash.rect.left);
    EXPECT_EQ(PICTURE_HEIGHT, splash.rect.bottom - splash.rect.top);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - PICTURE_WIDTH) / 2, splash.rect.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - PICTURE_HEIGHT) / 2, splash.rect.top);
}

TEST_F(SplashTest, OnlyTheNoSplashSwitchKeepsAConfiguredSplashAway) {
    records[4] = L"true"; // CFG_SPLASH
    addSplashPicture();
    childActions("touch " + flagArg(L"started") + "\nwait-file " + flagArg(L"release") + "\n");
    const struct {
        const wchar_t* arguments;
        bool splash;
    } cases[] = {
        {L"report.xml", true},
        {L"--qd-no-splash report.xml", false},
        {L"--qd-no-splash-err report.xml", true},
        {L"--qd-no-splash-err \"x--qd-no-splash\"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.arguments));
        clearFlags();
        bool looked = false;
        bool splash = false;
        whileRunning = [&](DWORD pid) {
            if (looked || !fileExists(flag(L"started"))) return;
            looked = true;
            splash = splashVisible(pid);
            raise(L"release");
        };
        RunResult run = launch(c.arguments);
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_TRUE(run.dialogs.empty());
        ASSERT_TRUE(looked);
        EXPECT_EQ(c.splash, splash);
    }
}

TEST_F(SplashTest, SplashGoesSoonAfterTheApplicationShowsItsFirstWindow) {
    records[4] = L"true"; // CFG_SPLASH
    records[5] = L"true"; // CFG_SPLASH_UNTIL_WINDOW
    records[6] = L"60";   // CFG_SPLASH_TIMEOUT
    addSplashPicture();
    childActions("touch " + flagArg(L"started") + "\nwait-file " + flagArg(L"go") + "\nwindow Demo Application\ntouch " +
                 flagArg(L"shown") + "\nwait-file " + flagArg(L"release") + "\n");
    bool upBeforeTheWindow = false;
    bool goneSoonAfter = false;
    bool started = false, shown = false;
    whileRunning = [&](DWORD pid) {
        if (!started && fileExists(flag(L"started"))) {
            started = true;
            upBeforeTheWindow = splashVisible(pid);
            raise(L"go");
        }
        if (started && !shown && fileExists(flag(L"shown"))) {
            shown = true;
            // The watch runs once a second.
            goneSoonAfter = waitUntil([&] { return !splashVisible(pid); }, 3000);
            raise(L"release");
        }
    };
    RunResult run = launch();

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    ASSERT_TRUE(shown);
    EXPECT_TRUE(upBeforeTheWindow);
    EXPECT_TRUE(goneSoonAfter);
}

TEST_F(SplashTest, ApplicationWithoutAWindowInTimeIsReportedAndStillWaitedFor) {
    applicationWithoutVisibleWindow();
    records[7] = L"true"; // CFG_SPLASH_TIMEOUT_ERROR
    addSplashPicture();
    bool upWhileStarting = false;
    bool started = false;
    whileRunning = [&](DWORD pid) {
        if (started || !fileExists(flag(L"started"))) return;
        started = true;
        upWhileStarting = splashVisible(pid);
    };
    bool upDuringReport = true;
    RunResult run = launch(L"--qd-debug", [&](const Dialog& box) {
        DWORD pid = 0;
        GetWindowThreadProcessId(box.window, &pid);
        upDuringReport = splashVisible(pid);
        raise(L"release");
        return Press::Ok;
    });

    EXPECT_EQ(7u, run.exitCode) << "the child's exit code, after the report";
    EXPECT_TRUE(upWhileStarting) << "a window the application has not shown leaves the splash up";
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) + L"\n\nThe application did not show its window within 2 seconds.",
              run.dialogs[0].text);
    EXPECT_EQ(L"QDLauncher", run.dialogs[0].title);
    EXPECT_FALSE(upDuringReport) << "the splash is hidden before the report";
    // Three ticks: two count the 2 seconds down, the third ends the splash.
    EXPECT_GE(run.dialogs[0].seenAtMs, 2500u);
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("Launcher args:")) << log;
    const std::string lastLine = "\r\nSplash timeout:\tno window of the application within 2 s\r\n";
    EXPECT_EQ(log.size() - lastLine.size(), log.rfind(lastLine)) << "the last line, written before the report\n" << log;
    EXPECT_EQ(std::string::npos, log.find("Exit code")) << "the report closed the log\n" << log;
}

TEST_F(SplashTest, EndOfTheCountdownIsSilentUnlessItCountsAsAFailure) {
    applicationWithoutVisibleWindow();
    records[7] = L"true"; // CFG_SPLASH_TIMEOUT_ERROR, turned off by the switch below
    addSplashPicture();
    bool upWhileStarting = false;
    bool goneSilently = false;
    bool started = false;
    whileRunning = [&](DWORD pid) {
        if (started || !fileExists(flag(L"started"))) return;
        started = true;
        upWhileStarting = splashVisible(pid);
        goneSilently = waitUntil([&] { return !splashVisible(pid); }, 8000);
        raise(L"release");
    };
    RunResult run = launch(L"--qd-no-splash-err");

    EXPECT_EQ(7u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_TRUE(upWhileStarting);
    EXPECT_TRUE(goneSilently);
}

TEST_F(SplashTest, MissingPictureIsReportedBeforeAnyChildStarts) {
    records[4] = L"true"; // CFG_SPLASH, but no bitmap resource 1
    RunResult run = launch();

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) + L"\n\n" + systemErrorText(ERROR_RESOURCE_TYPE_NOT_FOUND),
              run.dialogs[0].text);

}

TEST_F(SplashTest, WaitingShowsNoWindowAndEndsSoonAfterTheApplication) {
    records[11] = L"true"; // CFG_WAIT
    childActions("touch " + flagArg(L"started") + "\nwait-file " + flagArg(L"release") + "\ntouch " +
                 flagArg(L"ending") + "\nexit 4\n");
    const struct {
        const wchar_t* arguments;
        size_t windows;
    } cases[] = {
        {L"", 1},               // the hidden window of the wait
        {L"--qd-dont-wait", 0}, // no loop, no window
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.arguments));
        clearFlags();
        std::vector<WindowInfo> windows;
        bool looked = false;
        ULONGLONG childEnding = 0;
        whileRunning = [&](DWORD pid) {
            if (!looked && fileExists(flag(L"started"))) {
                looked = true;
                windows = launcherWindows(pid);
                raise(L"release");
            }
            if (childEnding == 0 && fileExists(flag(L"ending"))) childEnding = GetTickCount64();
        };
        RunResult run = launch(c.arguments);
        ULONGLONG ended = GetTickCount64();

        EXPECT_EQ(4u, run.exitCode);
        EXPECT_TRUE(run.dialogs.empty());
        ASSERT_TRUE(looked);
        EXPECT_EQ(c.windows, windows.size());
        for (const WindowInfo& window : windows) EXPECT_EQ(L"Static", window.className);
        EXPECT_FALSE(anyVisibleWindow(windows));
        if (childEnding == 0) childEnding = ended; // ended before the next poll
        EXPECT_LE(ended - childEnding, 3000u) << "the wait notices the end";
    }
}

TEST_F(SplashTest, FailureAfterTheWindowExistsIsReportedWithoutTheSplashAndStaysUpUntilAnswered) {
    const struct {
        const char* name;
        WORD record; // the window and, for the splash, its timer exist before the child is started
    } cases[] = {{"the wait's window", 11}, {"the splash", 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // a launcher of its own
        records[c.record] = L"true";
        if (c.record == 4) addSplashPicture();
        ASSERT_TRUE(writeFileBytes(appDir + L"\\jvm\\bin\\javaw.exe", "this is not a program"));
        bool stayedOpen = false;
        bool splashDuringReport = true;
        RunResult run = launch(L"", [&](const Dialog& box) {
            DWORD pid = 0;
            GetWindowThreadProcessId(box.window, &pid);
            splashDuringReport = splashVisible(pid);
            stayedOpen = staysOpen(box.window);
            return Press::Ok;
        });

        EXPECT_EQ(1u, run.exitCode);
        ASSERT_EQ(1u, run.dialogs.size());
        EXPECT_TRUE(stayedOpen) << "the box closed by itself";
        EXPECT_FALSE(splashDuringReport) << "the report is shown over the splash";
        EXPECT_EQ(std::wstring(STARTUP_ERROR) + L"\n\n" + systemErrorText(ERROR_BAD_EXE_FORMAT), run.dialogs[0].text);
    }
}

TEST_F(SplashTest, SplashWindowGoesWithTheSplashAndTheLauncherKeepsAnsweringMessages) {
    applicationWithoutVisibleWindow();
    records[7] = L"true"; // CFG_SPLASH_TIMEOUT_ERROR
    addSplashPicture();
    const struct {
        const char* name;
        bool timeoutReport; // the splash ends in a report instead of at the application's window
    } cases[] = {{"splash gone in a timeout report", true}, {"splash gone at the application's window", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearFlags();
        if (!c.timeoutReport) {
            childActions("window Demo Application\ntouch " + flagArg(L"shown") + "\nwait-file " +
                         flagArg(L"release") + "\nexit 8\n");
        }
        bool reported = false;
        HWND report = nullptr;
        bool looked = false;
        bool splashReleased = false;
        std::vector<WindowInfo> windows;
        std::vector<bool> answered;
        whileRunning = [&](DWORD pid) {
            if (looked) return;
            bool splashGone = c.timeoutReport ? reported && !IsWindow(report)
                                              : fileExists(flag(L"shown")) && !splashVisible(pid);
            if (!splashGone) return;
            looked = true;
            splashReleased = waitUntil([&] { return !hasSplashWindow(pid); }, 3000);
            windows = topLevelWindows(pid);
            for (const WindowInfo& window : windows) answered.push_back(answersMessages(window.handle));
            raise(L"release");
        };
        RunResult run = launch(L"", [&](const Dialog& box) {
            reported = true;
            report = box.window;
            return Press::Ok;
        });

        EXPECT_EQ(c.timeoutReport ? 7u : 8u, run.exitCode);
        ASSERT_TRUE(looked) << "the splash never went";
        EXPECT_TRUE(splashReleased) << "the hidden splash window lives on while the application runs";
        EXPECT_EQ(c.timeoutReport ? 1u : 0u, run.dialogs.size());
        for (size_t i = 0; i < windows.size(); ++i) {
            EXPECT_TRUE(answered[i]) << narrow(windows[i].className) << " window left without a message loop";
        }
    }
}

TEST_F(SplashTest, WaitEndsWithAnApplicationThatExitsWith259) {
    records[11] = L"true"; // CFG_WAIT
    childActions("exit 259\n"); // the value of STILL_ACTIVE
    RunResult run = launch();

    EXPECT_TRUE(run.finished) << "the launcher took the ended application for a running one";
    EXPECT_EQ(259u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
}

TEST_F(SplashTest, OverlongCountdownTextIsNotAConfigurationFault) {
    records[4] = L"true";        // CFG_SPLASH
    records[6] = L"00000000001"; // CFG_SPLASH_TIMEOUT: 11 characters, an invalid countdown
    addSplashPicture();
    childActions("exit 3\n");
    RunResult run = launch();

    EXPECT_EQ(3u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
}

// Under Xvfb, Wine cuts a layered window's fully transparent pixels out of
// its shape but draws the others as they are stored, without blending them
// with what lies behind (that needs a compositing desktop). So the corner
// shows the desktop exactly, and a half-transparent pixel shows somewhere
// from the stored premultiplied colour (Wine) to that colour blended over
// the desktop (Windows): never the picture's full colour.
TEST_F(SplashTest, TransparentPictureIsALayeredWindowThatShowsTheDesktopThroughIt) {
    records[4] = L"true"; // CFG_SPLASH
    prepareLauncher();
    ASSERT_TRUE(stampBitmapResource(exePath(), 1, makeTransparentDib(200, 120, PICTURE_COLOUR, CORNER)));
    Backdrop backdrop;
    ASSERT_TRUE(backdrop.shown);
    std::vector<WindowInfo> windows;
    COLORREF corner = 0, centre = 0, soft = 0;
    RunResult run = runWhileStarted([&](DWORD pid) {
        windows = launcherWindows(pid);
        if (windows.empty()) return;
        const RECT& at = windows[0].rect;
        waitUntil([&] { return centreColour(at) == PICTURE_COLOUR; }, 3000);
        centre = centreColour(at);
        corner = screenPixel(at.left + CORNER / 2, at.top + CORNER / 2);
        soft = screenPixel(at.right - CORNER / 2, at.top + CORNER / 2);
    });

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    ASSERT_EQ(1u, windows.size());
    const WindowInfo& splash = windows[0];
    EXPECT_TRUE(splash.visible);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_LAYERED | WS_EX_TOOLWINDOW), splash.exStyle & (WS_EX_LAYERED | WS_EX_TOOLWINDOW));
    EXPECT_EQ(200, width(splash.rect));
    EXPECT_EQ(120, height(splash.rect));
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2, splash.rect.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 120) / 2, splash.rect.top);
    EXPECT_EQ(PICTURE_COLOUR, centre);
    EXPECT_EQ(BACKDROP_COLOUR, corner) << "the desktop shows through the transparent corner";
    for (int shift : {0, 8, 16}) { // red, green, blue
        auto channel = [&](COLORREF colour) { return static_cast<int>((colour >> shift) & 0xFF); };
        int stored = (channel(PICTURE_COLOUR) * 128 + 127) / 255;
        int blended = stored + (channel(BACKDROP_COLOUR) * 127 + 127) / 255;
        EXPECT_GE(channel(soft), stored - 1) << "shift " << shift;
        EXPECT_LE(channel(soft), blended + 1) << "shift " << shift;
    }
}

// Wine takes the screen's density from LogPixels when a program starts.
class HighDensitySplashTest : public SplashTest {
protected:
    void SetUp() override {
        SplashTest::SetUp();
        DWORD dpi = 192;
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD,
                                                 &dpi, sizeof dpi));
    }
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
        SplashTest::TearDown();
    }
};

TEST_F(HighDensitySplashTest, PictureForTwiceTheDensityIsChosenAndAnyOtherScaledToTheSameSize) {
    const struct {
        const char* name;
        std::string doublePicture; // bitmap 2 besides bitmap 1, a 24-bit picture of 101 x 61
        LONG width, height;
    } cases[] = {
        {"both pictures: the one for 200 %", makeTransparentDib(202, 122, DOUBLE_PICTURE_COLOUR, CORNER), 202, 122},
        {"only the 100 % picture: scaled", "", 202, 122},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // a launcher of its own
        records[4] = L"true"; // CFG_SPLASH
        addSplashPicture(makeBitmapFile(101, 61));
        if (!c.doublePicture.empty()) ASSERT_TRUE(stampBitmapResource(exePath(), 2, c.doublePicture));
        std::vector<WindowInfo> windows;
        COLORREF centre = 0;
        RunResult run = runWhileStarted([&](DWORD pid) {
            windows = launcherWindows(pid);
            if (windows.empty()) return;
            waitUntil([&] { return centreColour(windows[0].rect) == DOUBLE_PICTURE_COLOUR; }, c.doublePicture.empty() ? 0 : 3000);
            centre = centreColour(windows[0].rect);
        });

        EXPECT_EQ(0u, run.exitCode);
        ASSERT_EQ(1u, windows.size());
        EXPECT_EQ(c.width, width(windows[0].rect));
        EXPECT_EQ(c.height, height(windows[0].rect));
        EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - c.width) / 2, windows[0].rect.left);
        EXPECT_EQ(!c.doublePicture.empty(), centre == DOUBLE_PICTURE_COLOUR);
    }
}

} // namespace
