// The splash rules that need no screen (the switch, the countdown) and the
// splash's conversation with the window system, watched through stand-ins for
// the user32 calls: what is created, in which order things happen at a tick,
// and what a failure leaves for the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "diag/ui_calls.h"
#include "launch/bounded_text.h"
#include "launch/launch_state.h"
#include "launch/splash.h"

namespace {

TEST(NoSplashSwitch, OnlyTheSwitchItselfCountsNotTheErrorSwitch) {
    const struct {
        const wchar_t* arguments;
        bool found;
    } cases[] = {
        {L"", false},
        {L"report.xml", false},
        {L"--qd-no-splash", true},
        {L"--qd-no-splash-err", false},
        {L"--qd-no-splash-error", false}, // begins with the error switch
        {L"--qd-no-splash-err --qd-no-splash", true},
        {L"--qd-no-splash --qd-no-splash-err", true},
        {L"--qd-no-splash-err--qd-no-splash", true},
        {L"x--qd-no-splashy", true},      // plain substring search, like every switch
        {L"\"a --qd-no-splash b\"", true},
        {L"--qd-no-splash-er", true},
        {L"--QD-NO-SPLASH", false},
        {L"--qd-no-spl", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.found, hasNoSplashSwitch(c.arguments)) << testing::PrintToString(std::wstring(c.arguments));
    }
}

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

// ---- The splash and the window system ------------------------------------

struct FakeWindow {
    HWND handle;
    DWORD owner;
    LONG style;
};

// What the stand-ins answer and what they were asked.
struct FakeScreen {
    std::vector<std::string> calls;
    std::vector<FakeWindow> windows;  // in the order EnumWindows offers them
    int width = 1280;
    int height = 1024;
    RECT frame = {0, 0, 201, 121};    // the window's rectangle once it has its picture
    bool createFails = false;
    bool pictureMissing = false;
    bool timerFails = false;
    TIMERPROC timerProc = nullptr;
} screen;

HWND const SPLASH = reinterpret_cast<HWND>(0x5A5A);
HANDLE const PICTURE = reinterpret_cast<HANDLE>(0xB17);

std::string ascii(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

std::string hex(unsigned long long value) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "0x%llx", value);
    return buffer;
}

void note(const std::string& call) { screen.calls.push_back(call); }

HWND WINAPI fakeCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int cx,
                                int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    note("CreateWindowExW " + hex(exStyle) + " " + ascii(className) + " '" + ascii(title) + "' " + hex(style) + " " +
         std::to_string(x) + "," + std::to_string(y) + " " + (cx == CW_USEDEFAULT ? "default" : "?") + "x" +
         (cy == CW_USEDEFAULT ? "default" : "?") + " parent=" + hex(reinterpret_cast<ULONG_PTR>(parent)) +
         " menu=" + hex(reinterpret_cast<ULONG_PTR>(menu)) +
         (instance == GetModuleHandleW(nullptr) ? " own-instance" : " other-instance") +
         " param=" + hex(reinterpret_cast<ULONG_PTR>(param)));
    if (screen.createFails) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return SPLASH;
}

HANDLE WINAPI fakeLoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    note(std::string("LoadImageW") + (instance == GetModuleHandleW(nullptr) ? " own-instance" : " other-instance") +
         " id=" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) + " type=" + std::to_string(type) + " " +
         std::to_string(cx) + "x" + std::to_string(cy) + " flags=" + hex(flags));
    if (screen.pictureMissing) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return PICTURE;
}

LRESULT WINAPI fakeSendMessageW(HWND window, UINT message, WPARAM w, LPARAM l) {
    note("SendMessageW " + std::string(window == SPLASH ? "splash " : "other ") + hex(message) + " " + hex(w) +
         (reinterpret_cast<HANDLE>(l) == PICTURE ? " picture" : " other"));
    return 0;
}

BOOL WINAPI fakeGetWindowRect(HWND, LPRECT rect) {
    *rect = screen.frame;
    return TRUE;
}

int WINAPI fakeGetSystemMetrics(int index) {
    if (index == SM_CXSCREEN) return screen.width;
    if (index == SM_CYSCREEN) return screen.height;
    return 0;
}

BOOL WINAPI fakeSetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags) {
    note("SetWindowPos " + std::string(window == SPLASH ? "splash " : "other ") +
         hex(reinterpret_cast<ULONG_PTR>(after)) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
         std::to_string(cx) + "x" + std::to_string(cy) + " " + hex(flags));
    return TRUE;
}

BOOL WINAPI fakeShowWindow(HWND window, int code) {
    note("ShowWindow " + std::string(window == SPLASH ? "splash " : "other ") + std::to_string(code));
    return TRUE;
}

BOOL WINAPI fakeUpdateWindow(HWND window) {
    note(std::string("UpdateWindow ") + (window == SPLASH ? "splash" : "other"));
    return TRUE;
}

UINT_PTR WINAPI fakeSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc) {
    note("SetTimer " + std::string(window == SPLASH ? "splash " : "other ") + std::to_string(id) + " " +
         std::to_string(ms) + (proc == splashTimerProc ? " splashTimerProc" : " other"));
    screen.timerProc = proc;
    return screen.timerFails ? 0 : id;
}

BOOL WINAPI fakeKillTimer(HWND window, UINT_PTR id) {
    note("KillTimer " + std::string(window == SPLASH ? "splash " : "other ") + std::to_string(id));
    SetLastError(ERROR_INVALID_PARAMETER); // what a call on a timer that never ran may leave
    return FALSE;
}

int WINAPI fakeMessageBoxW(HWND, LPCWSTR text, LPCWSTR title, UINT type) {
    note("MessageBoxW '" + ascii(text) + "' '" + ascii(title) + "' " + std::to_string(type));
    return IDOK;
}

void WINAPI fakePostQuitMessage(int code) { note("PostQuitMessage " + std::to_string(code)); }

BOOL WINAPI fakeEnumWindows(WNDENUMPROC proc, LPARAM param) {
    note("EnumWindows");
    for (const FakeWindow& window : screen.windows) {
        note("visit " + hex(reinterpret_cast<ULONG_PTR>(window.handle)));
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

class SplashWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bindUserCalls());
        real = user32;
        startFresh();
    }
    void TearDown() override {
        user32 = real;
        resetLaunchState();
    }

    // A new run with the stand-ins in place; also between the cases of one test.
    void startFresh() {
        resetLaunchState();
        moduleHandle = GetModuleHandleW(nullptr); // no splash records: every setting keeps its default
        screen = FakeScreen{};
        user32.CreateWindowExW = fakeCreateWindowExW;
        user32.LoadImageW = fakeLoadImageW;
        user32.SendMessageW = fakeSendMessageW;
        user32.GetWindowRect = fakeGetWindowRect;
        user32.GetSystemMetrics = fakeGetSystemMetrics;
        user32.SetWindowPos = fakeSetWindowPos;
        user32.ShowWindow = fakeShowWindow;
        user32.UpdateWindow = fakeUpdateWindow;
        user32.SetTimer = fakeSetTimer;
        user32.KillTimer = fakeKillTimer;
        user32.MessageBoxW = fakeMessageBoxW;
        user32.PostQuitMessage = fakePostQuitMessage;
        user32.EnumWindows = fakeEnumWindows;
        user32.GetWindowThreadProcessId = fakeGetWindowThreadProcessId;
        user32.GetWindowLongW = fakeGetWindowLongW;
        copyText(messageText, MESSAGE_CAPACITY, STARTUP_ERROR);
    }

    // The state of a run whose splash is up and whose child is running.
    void splashUp(int secondsLeft) {
        splashWindow = SPLASH;
        splashShown = TRUE;
        splashCountdown = secondsLeft;
        child.hProcess = GetCurrentProcess(); // still running
        child.dwProcessId = CHILD_PID;
    }
    // A child whose end the previous tick already read; no handle to ask again.
    void childEnded(DWORD code) {
        child.hProcess = nullptr;
        childExitCode = code;
    }
    void tick() { splashTimerProc(SPLASH, WM_TIMER, 1, 0); }

    UserCalls real;
    using Calls = std::vector<std::string>;
};

TEST_F(SplashWindowTest, ShownSplashIsAHiddenToolWindowGivenThePictureCentredShownAndTimed) {
    splashShown = TRUE;
    ASSERT_TRUE(startSplash(GetModuleHandleW(nullptr), SW_SHOWNORMAL, L""));

    EXPECT_EQ((Calls{
                  "CreateWindowExW 0x80 STATIC '' 0x8000000e 0,0 defaultxdefault parent=0x0 menu=0x0 own-instance "
                  "param=0x0",
                  "LoadImageW own-instance id=1 type=0 0x0 flags=0x40",
                  "SendMessageW splash 0x172 0x0 picture",
                  "SetWindowPos splash 0x0 539,451 0x0 0x1",
                  "ShowWindow splash 1",
                  "UpdateWindow splash",
                  "SetTimer splash 1 1000 splashTimerProc",
              }),
              screen.calls);
    EXPECT_EQ(SPLASH, splashWindow);
    EXPECT_EQ(60, splashCountdown);
    EXPECT_FALSE(splashUntilWindow);
    EXPECT_FALSE(splashTimeoutIsError);
}

TEST_F(SplashWindowTest, CentringUsesTheWindowRectangleAndRoundsTowardZero) {
    const struct {
        int width, height;
        RECT frame;
        const char* position;
    } cases[] = {
        {1280, 1024, {0, 0, 201, 121}, "539,451"},
        {1280, 1024, {10, 20, 211, 141}, "539,451"},  // the size counts, not where the window was
        {800, 600, {0, 0, 1001, 701}, "-100,-50"},    // larger than the screen: -100.5 and -50.5
        {1920, 1080, {0, 0, 1920, 1080}, "0,0"},
    };
    for (const auto& c : cases) {
        startFresh();
        screen.width = c.width;
        screen.height = c.height;
        screen.frame = c.frame;
        splashShown = TRUE;
        ASSERT_TRUE(startSplash(GetModuleHandleW(nullptr), SW_SHOW, L""));
        EXPECT_EQ(1, std::count(screen.calls.begin(), screen.calls.end(),
                                std::string("SetWindowPos splash 0x0 ") + c.position + " 0x0 0x1"))
            << c.position;
    }
}

TEST_F(SplashWindowTest, WaitAloneMakesAWindowThatIsNeverShown) {
    ASSERT_TRUE(startSplash(GetModuleHandleW(nullptr), SW_SHOWNORMAL, L""));
    ASSERT_EQ(2u, screen.calls.size());
    EXPECT_EQ(0u, screen.calls[0].rfind("CreateWindowExW ", 0));
    EXPECT_EQ("SetTimer splash 1 1000 splashTimerProc", screen.calls[1]);
}

TEST_F(SplashWindowTest, WindowThatCannotBeCreatedIsExplainedWithTheSystemsReason) {
    screen.createFails = true;
    splashShown = TRUE;
    EXPECT_FALSE(startSplash(GetModuleHandleW(nullptr), SW_SHOWNORMAL, L""));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_STREQ(L"Start failed.\n\nThe launcher could not create the window for its splash screen and its wait.",
                 messageText);
    EXPECT_EQ(1u, screen.calls.size()) << "no picture and no timer";
}

TEST_F(SplashWindowTest, MissingPictureOrTimerFailsTheStartAndShowsNothing) {
    for (bool pictureMissing : {true, false}) {
        startFresh();
        screen.pictureMissing = pictureMissing;
        screen.timerFails = !pictureMissing;
        splashShown = TRUE;
        EXPECT_FALSE(startSplash(GetModuleHandleW(nullptr), SW_SHOWNORMAL, L""));
        bool shown = std::count(screen.calls.begin(), screen.calls.end(), "ShowWindow splash 1") > 0;
        EXPECT_EQ(!pictureMissing, shown);
        if (pictureMissing) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
        }
    }
}

TEST_F(SplashWindowTest, StoppingTheTimerKeepsThePendingErrorForTheReport) {
    splashWindow = SPLASH;
    SetLastError(ERROR_BAD_EXE_FORMAT);
    stopSplashTimer();
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());
    EXPECT_EQ((Calls{"KillTimer splash 1"}), screen.calls);
}

TEST_F(SplashWindowTest, TimeoutHidesStopsTheTimerThenReportsThenEndsTheLoop) {
    splashUp(0);
    splashUntilWindow = TRUE;
    splashTimeoutIsError = TRUE;
    waitForChild = TRUE; // the report ends the loop even so
    SetLastError(ERROR_INVALID_WINDOW_HANDLE); // left behind by some earlier call
    tick();

    EXPECT_EQ((Calls{
                  "ShowWindow splash 0",
                  "KillTimer splash 1",
                  "MessageBoxW 'Start failed.' 'QDLauncher' 0",
                  "PostQuitMessage 0",
              }),
              screen.calls);
    EXPECT_FALSE(splashShown);
}

TEST_F(SplashWindowTest, TimeoutWithoutBothFlagsHidesSilently) {
    const struct {
        BOOL untilWindow, isError, wait;
        Calls calls;
    } cases[] = {
        {TRUE, FALSE, FALSE, {"ShowWindow splash 0", "KillTimer splash 1", "PostQuitMessage 0"}},
        {FALSE, TRUE, FALSE, {"ShowWindow splash 0", "KillTimer splash 1", "PostQuitMessage 0"}},
        {FALSE, FALSE, TRUE, {"ShowWindow splash 0"}}, // still waiting for the child
    };
    for (const auto& c : cases) {
        startFresh();
        splashUp(0);
        splashUntilWindow = c.untilWindow;
        splashTimeoutIsError = c.isError;
        waitForChild = c.wait;
        tick();
        EXPECT_EQ(c.calls, screen.calls) << c.untilWindow << c.isError << c.wait;
        EXPECT_FALSE(splashShown);
    }
}

TEST_F(SplashWindowTest, EachTickCountsDownAndWatchesOnlyWhenAsked) {
    splashUp(3);
    tick();
    EXPECT_EQ(2, splashCountdown);
    EXPECT_TRUE(screen.calls.empty());

    splashUntilWindow = TRUE;
    tick();
    EXPECT_EQ(1, splashCountdown);
    EXPECT_EQ((Calls{"EnumWindows"}), screen.calls);
    EXPECT_TRUE(splashShown);
}

TEST_F(SplashWindowTest, OnlyAVisibleWindowOfTheChildItselfEndsTheSplash) {
    auto window = [](ULONG_PTR handle) { return reinterpret_cast<HWND>(handle); };
    splashUp(10);
    splashUntilWindow = TRUE;
    screen.windows = {
        {window(0x10), CHILD_PID + 1, WS_VISIBLE | WS_OVERLAPPEDWINDOW}, // a process the child started, say
        {window(0x20), CHILD_PID, WS_OVERLAPPEDWINDOW},                  // created, not shown yet
        {window(0x30), 0, WS_VISIBLE},                                   // owner unknown
    };
    tick();
    EXPECT_EQ((Calls{"EnumWindows", "visit 0x10", "visit 0x20", "visit 0x30"}), screen.calls);
    EXPECT_TRUE(splashShown);

    screen.calls.clear();
    screen.windows.push_back({window(0x40), CHILD_PID, WS_VISIBLE | WS_OVERLAPPEDWINDOW});
    screen.windows.push_back({window(0x50), CHILD_PID, WS_VISIBLE | WS_OVERLAPPEDWINDOW});
    tick();
    EXPECT_EQ((Calls{
                  "EnumWindows", "visit 0x10", "visit 0x20", "visit 0x30", "visit 0x40", "ShowWindow splash 0",
                  // Not waiting: nothing is wanted any more.
                  "KillTimer splash 1", "PostQuitMessage 0",
              }),
              screen.calls);
    EXPECT_FALSE(splashShown);
    EXPECT_EQ(8, splashCountdown);
}

TEST_F(SplashWindowTest, WaitLoopEndsAtTheFirstTickAfterTheChildEnded) {
    splashWindow = SPLASH;
    waitForChild = TRUE;
    child.hProcess = GetCurrentProcess();
    tick();
    EXPECT_TRUE(screen.calls.empty()) << "the child still runs";
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), childExitCode);

    childEnded(3);
    tick();
    EXPECT_EQ((Calls{"KillTimer splash 1", "PostQuitMessage 0"}), screen.calls);
    EXPECT_EQ(3u, childExitCode);
}

TEST_F(SplashWindowTest, ChildEndingWhileTheSplashIsUpEndsTheLoopButLeavesThePicture) {
    splashUp(10);
    childEnded(0);
    tick();
    EXPECT_EQ((Calls{"KillTimer splash 1", "PostQuitMessage 0"}), screen.calls);
    EXPECT_TRUE(splashShown);
}

} // namespace
