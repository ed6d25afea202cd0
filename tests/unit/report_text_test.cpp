// What every report says, exactly, whatever the thread's last-error value
// happens to be. Windows leaves codes behind on calls that succeed (15106 after
// every record read, 203 after an undefined variable, ...); Wine does not, so
// here a junk value is set before every step and before the report, and each
// report must still show its own text and only the system text of the call
// that failed.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "../support/registry_sandbox.h"
#include "cmdline/heap_sizing.h"
#include "cmdline/launcher_args.h"
#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "diag/ui_calls.h"
#include "e2e_harness.h"
#include "launch/launch_sequence.h"
#include "launch/output_capture.h"
#include "launch/splash.h"
#include "runtime/runtime_search.h"
#include "scratch_files.h"

namespace {

const DWORD JUNK_CODES[] = {ERROR_RESOURCE_ENUM_USER_STOP, ERROR_ENVVAR_NOT_FOUND, ERROR_ACCESS_DENIED};
const wchar_t* const STARTUP_ERROR = L"Start failed.";
const wchar_t* const JRE_KEY = L"SOFTWARE\\JavaSoft\\Java Runtime Environment";
HWND const SPLASH = reinterpret_cast<HWND>(0x5A5A);

DWORD junk; // the value every step starts with in the current round

// The report's text for a message followed by a system error code.
std::wstring withSystemText(const std::wstring& message, DWORD code) {
    std::wstring text = e2e::systemErrorText(code);
    EXPECT_FALSE(text.empty()) << "no system text for " << code;
    return message + L"\n\n" + text;
}

// Stand-ins for the window calls: every one of them leaves junk behind, as a
// successful call on Windows may.
std::vector<std::wstring> boxes;
int WINAPI recordBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
    boxes.push_back(text);
    SetLastError(junk);
    return IDOK;
}
int answerNo(const wchar_t*, const wchar_t*, UINT) {
    SetLastError(junk);
    return IDNO;
}
DWORD createWindowError;
HWND WINAPI createSplashWindow(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
    if (createWindowError == 0) return SPLASH;
    SetLastError(createWindowError);
    return nullptr;
}
DWORD loadImageError;
HANDLE WINAPI loadPicture(HINSTANCE, LPCWSTR, UINT, int, int, UINT) {
    if (loadImageError == 0) return reinterpret_cast<HANDLE>(0xB17);
    SetLastError(loadImageError);
    return nullptr;
}
DWORD setTimerError;
UINT_PTR WINAPI startTimer(HWND, UINT_PTR id, UINT, TIMERPROC) {
    if (setTimerError == 0) return id;
    SetLastError(setTimerError);
    return 0;
}
LRESULT WINAPI anySendMessage(HWND, UINT, WPARAM, LPARAM) {
    SetLastError(junk);
    return 0;
}
BOOL WINAPI anyWindowRect(HWND, LPRECT rect) {
    *rect = RECT{0, 0, 100, 100};
    return TRUE;
}
int WINAPI anyMetric(int) { return 1000; }
BOOL WINAPI anyPosition(HWND, HWND, int, int, int, int, UINT) {
    SetLastError(junk);
    return TRUE;
}
BOOL WINAPI anyShow(HWND, int) {
    SetLastError(junk);
    return TRUE;
}
BOOL WINAPI anyUpdate(HWND) { return TRUE; }
BOOL WINAPI destroyWindow(HWND) {
    SetLastError(junk);
    return TRUE;
}

class ReportTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bindUserCalls());
        real = user32;
        for (const wchar_t* key : {JRE_KEY, L"SOFTWARE\\JavaSoft\\Java Development Kit"}) {
            ASSERT_FALSE(testreg::RegistrySandbox::keyExists(HKEY_LOCAL_MACHINE, key)) << "foreign runtimes";
        }
        CreateDirectoryW(app().c_str(), nullptr);
    }
    void TearDown() override {
        user32 = real;
        closeRecords();
        registry.removeAll();
        resetLaunchState();
    }

    std::wstring app() const { return dir / L"app"; }

    // A fresh run: records stamped into a copy of the record-free launcher,
    // the executable at app\tool.exe, the window calls replaced.
    void startRun(const e2e::Records& records) {
        closeRecords();
        resetLaunchState();
        recordsPath = dir / L"records.exe";
        ASSERT_TRUE(CopyFileW(e2e::bareLauncherPath().c_str(), recordsPath.c_str(), FALSE));
        ASSERT_TRUE(e2e::stampRecords(recordsPath, records));
        recordsModule = LoadLibraryExW(recordsPath.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, recordsModule);
        moduleHandle = recordsModule;
        std::wstring exe = app() + L"\\tool.exe";
        copyText(exePath, PATH_CAPACITY, exe.c_str());
        exeDirLen = exe.rfind(L'\\');

        boxes.clear();
        createWindowError = loadImageError = setTimerError = 0;
        user32.MessageBoxW = recordBox;
        user32.CreateWindowExW = createSplashWindow;
        user32.LoadImageW = loadPicture;
        user32.SetTimer = startTimer;
        user32.DestroyWindow = destroyWindow;
        user32.SendMessageW = anySendMessage;
        user32.GetWindowRect = anyWindowRect;
        user32.GetSystemMetrics = anyMetric;
        user32.SetWindowPos = anyPosition;
        user32.ShowWindow = anyShow;
        user32.UpdateWindow = anyUpdate;
    }
    void closeRecords() {
        if (recordsModule != nullptr) FreeLibrary(recordsModule);
        recordsModule = nullptr;
    }

    // One step of the run, entered with the round's junk value pending.
    template <typename Step>
    auto step(Step run) {
        SetLastError(junk);
        return run();
    }
    // The start-up message, loaded as the preparation loads it.
    void loadStartupMessage() {
        ASSERT_EQ(1, step([] { return loadConfigString(MSG_STARTUP_ERROR, messageText, MESSAGE_CAPACITY); }));
    }
    // The one report the run shows.
    std::wstring report() {
        step([] {
            reportError();
            return 0;
        });
        EXPECT_EQ(1u, boxes.size());
        return boxes.empty() ? L"" : boxes.back();
    }

    // Runs `scenario` once for every junk value.
    void forEveryJunkCode(const std::function<void()>& scenario) {
        for (DWORD code : JUNK_CODES) {
            SCOPED_TRACE(testing::Message() << "junk code " << code);
            junk = code;
            scenario();
        }
    }

    scratch::ScratchDir dir;
    testreg::RegistrySandbox registry;
    std::wstring recordsPath;
    HMODULE recordsModule = nullptr;
    UserCalls real;
};

TEST_F(ReportTextTest, MissingBundledRuntimeShowsItsMessageElseNamesTheFolder) {
    const struct {
        e2e::Records records;
        std::wstring report;
    } cases[] = {
        {{{1, L"jvm"}, {101, STARTUP_ERROR}, {102, L"The bundled runtime is missing."}},
         L"The bundled runtime is missing."},
        {{{1, L"jvm"}, {101, STARTUP_ERROR}},
         std::wstring(STARTUP_ERROR) + L"\n\nThe Java runtime was not found in the folder " + app() +
             L"\\jvm (bin\\javaw.exe is missing)."},
    };
    for (const auto& c : cases) {
        forEveryJunkCode([&] {
            startRun(c.records);
            loadStartupMessage();
            EXPECT_EQ(0, step([&] { return locateRuntime(exePath, exeDirLen); }));
            EXPECT_EQ(c.report, report());
        });
    }
}

TEST_F(ReportTextTest, NoSuitableRuntimeShowsTheVersionRequirementAlone) {
    forEveryJunkCode([&] {
        // The undefined variable leaves 203 behind inside the step itself.
        startRun({{1, L"%QDU_UNDEFINED_VARIABLE%\\jvm"}, {2, L"1.8.0"}, {101, STARTUP_ERROR},
                  {103, L"This application needs Java"}});
        loadStartupMessage();
        EXPECT_EQ(0, step([&] { return locateRuntime(exePath, exeDirLen); }));
        EXPECT_EQ(L"This application needs Java 1.8.0", report());
    });
}

TEST_F(ReportTextTest, BrokenInstallationShowsWhyItsLauncherWasNotFound) {
    std::wstring gone = dir / L"gone";
    ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, std::wstring(JRE_KEY) + L"\\1.8.0_202", L"JavaHome", gone));
    forEveryJunkCode([&] {
        startRun({{1, L"jvm"}, {2, L"1.8.0"}, {101, STARTUP_ERROR}, {104, L"The registered runtime is broken."}});
        loadStartupMessage();
        EXPECT_EQ(0, step([&] { return locateRuntime(exePath, exeDirLen); }));
        // The folder the registry names is not there.
        EXPECT_EQ(withSystemText(L"The registered runtime is broken.", ERROR_PATH_NOT_FOUND), report());
    });
}

TEST_F(ReportTextTest, MemoryStopsShowTheirOwnTextAlone) {
    const struct {
        int minMb, preferredMb;
        const wchar_t* report;
    } cases[] = {
        {4096, 8192, L"Not enough memory.\n\nThis application needs minimum 4096 MB of free RAM"},
        {512, 4096, STARTUP_ERROR}, // the question about low memory, answered No
    };
    for (const auto& c : cases) {
        forEveryJunkCode([&] {
            startRun({{101, STARTUP_ERROR}});
            loadStartupMessage();
            TextBuffer args = textBufferOver(launcherArgs, LONG_TEXT_CAPACITY);
            EXPECT_EQ(0, step([&] {
                return applyMaxHeap(args, 1ULL << 30, c.minMb, c.preferredMb, 16384, 0x0409, answerNo);
            }));
            EXPECT_EQ(c.report, report());
        });
    }
}

TEST_F(ReportTextTest, MainClassWithoutClasspathShowsTheStartupMessageAlone) {
    forEveryJunkCode([&] {
        // An undefined variable in the options and no options file: both leave
        // codes behind that are no failure.
        startRun({{12, L"-Dx=%QDU_UNDEFINED_VARIABLE%"}, {15, L"com.example.Main"}, {101, STARTUP_ERROR}});
        loadStartupMessage();
        EXPECT_EQ(0, step([&] { return assembleLauncherArgs(L"", exePath, exeDirLen, FALSE); }));
        EXPECT_EQ(STARTUP_ERROR, report());
    });
}

TEST_F(ReportTextTest, LogThatCannotBeOpenedShowsTheSystemsReasonAlone) {
    std::wstring log = app() + L"\\qd-launch.log";
    HANDLE held = CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    forEveryJunkCode([&] {
        startRun({{101, STARTUP_ERROR}});
        launcherSwitches.debug = true;
        EXPECT_FALSE(step([] { return openDebugLog(L"--qd-debug"); }));
        EXPECT_EQ(withSystemText(L"", ERROR_SHARING_VIOLATION), report());
    });
    CloseHandle(held);
}

TEST_F(ReportTextTest, ChildThatCannotStartShowsTheSystemsReason) {
    forEveryJunkCode([&] {
        startRun({{101, STARTUP_ERROR}});
        loadStartupMessage();
        std::wstring missing = dir / L"missing.exe";
        copyText(launcherPath, PATH_CAPACITY, missing.c_str());
        EXPECT_EQ(-1, step([] { return startChild(); }));
        EXPECT_EQ(withSystemText(STARTUP_ERROR, ERROR_FILE_NOT_FOUND), report());
    });
}

TEST_F(ReportTextTest, SplashThatCannotBeSetUpShowsTheFailedCallsReason) {
    const struct {
        DWORD* failingCall;
        DWORD code;
        const wchar_t* explanation;
    } cases[] = {
        {&createWindowError, ERROR_NOT_ENOUGH_MEMORY,
         L"\n\nThe launcher could not create the window for its splash screen and its wait."},
        {&loadImageError, ERROR_RESOURCE_TYPE_NOT_FOUND, L""},
        {&setTimerError, ERROR_NO_SYSTEM_RESOURCES, L""},
    };
    for (const auto& c : cases) {
        forEveryJunkCode([&] {
            startRun({{101, STARTUP_ERROR}});
            loadStartupMessage();
            *c.failingCall = c.code;
            splashShown = TRUE;
            EXPECT_FALSE(step([] { return startSplash(GetModuleHandleW(nullptr), SW_SHOWNORMAL); }));
            step([] {
                endSplash(); // as the run does before this report
                return 0;
            });
            EXPECT_EQ(withSystemText(std::wstring(STARTUP_ERROR) + c.explanation, c.code), report());
        });
    }
}

TEST_F(ReportTextTest, SplashTimeoutSaysTheApplicationShowedNoWindowInTime) {
    forEveryJunkCode([&] {
        startRun({{101, STARTUP_ERROR}});
        loadStartupMessage();
        splashWindow = SPLASH;
        splashShown = TRUE;
        splashSeconds = 30;
        splashCountdown = 0;
        splashUntilWindow = TRUE;
        splashTimeoutIsError = TRUE;
        step([] {
            splashTimerProc(SPLASH, WM_TIMER, 1, 0);
            return 0;
        });
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(std::wstring(STARTUP_ERROR) + L"\n\nThe application did not show its window within 30 seconds.",
                  boxes[0]);
    });
}

TEST_F(ReportTextTest, QuickFailureShowsTheCaptureFileItsSentenceTheExcerptAndTheSupportLinesAlone) {
    const std::wstring firstLine = L"\nContains additional information about the process execution.";
    const std::wstring url = L"https://example.com/" + std::wstring(235, L'u');
    const std::wstring contact = std::wstring(243, L'c') + L"@example.com";
    const std::wstring support =
        L"\nMake sure your computer meets the minimum requirements\n" + url + L"\nContact " + contact + L" for further information.";
    const std::wstring fullNotice = firstLine + support;
    const size_t pathLine = 17; // "\nC:\Temp\QD_1.tmp"
    // A start-up message that leaves the notice just enough room.
    const std::wstring longStart(MESSAGE_CAPACITY - 1 - pathLine - fullNotice.size(), L's');
    const struct {
        const char* name;
        e2e::Records records;
        std::string output;
        std::wstring expected;
    } cases[] = {
        {"no output kept, no addresses", {{101, STARTUP_ERROR}}, "",
         std::wstring(STARTUP_ERROR) + L"\nC:\\Temp\\QD_1.tmp" + firstLine},
        {"an empty address is none", {{101, STARTUP_ERROR}, {34, L""}, {35, L""}}, "Error: x\n",
         std::wstring(STARTUP_ERROR) + L"\nC:\\Temp\\QD_1.tmp" + firstLine + L"\n\nError: x"},
        {"an address too long explains itself first", {{101, STARTUP_ERROR}, {35, std::wstring(256, L'c')}}, "",
         std::wstring(STARTUP_ERROR) +
             L"\n\nThe launcher's configuration is damaged: record 35 is longer than the 255 characters it may hold."
             L"\nC:\\Temp\\QD_1.tmp" + firstLine},
        // The excerpt gives way, so the vendor's addresses stay whole.
        {"the excerpt gives way to the notice", {{101, longStart}, {34, url}, {35, contact}}, std::string(900, 'x'),
         longStart + L"\nC:\\Temp\\QD_1.tmp" + fullNotice},
        {"what is left goes to the excerpt", {{101, L"s"}, {34, url}, {35, contact}}, std::string(900, 'x'),
         L"s\nC:\\Temp\\QD_1.tmp" + firstLine + L"\n\n" +
             std::wstring(MESSAGE_CAPACITY - 1 - 1 - pathLine - 3 - fullNotice.size() - 3, L'x') + L"...\n" + support},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        forEveryJunkCode([&] {
            startRun(c.records);
            loadStartupMessage();
            copyText(stderrCapture.path, PATH_CAPACITY, L"C:\\Temp\\QD_1.tmp");
            stderrCapture.seen = TRUE;
            stderrCapture.ended = TRUE;
            stderrCapture.head = stderrHead; // as launcherMain gives it
            stderrCapture.headLength = static_cast<DWORD>(c.output.size());
            c.output.copy(stderrCapture.head, c.output.size());
            startTick = GetTickCount64();
            childExitCode = 1;
            step([] {
                reportQuickFailure();
                return 0;
            });
            ASSERT_EQ(1u, boxes.size());
            EXPECT_EQ(c.expected, boxes[0]);
        });
    }
}

} // namespace
