// The run of one launch as the user sees it: the child that is started, the
// exit code that comes back, the single-instance rule and the failure exits.
#include "launcher_fixture.h"

using namespace e2e;

namespace {

const wchar_t* const STARTUP_ERROR = L"An error occurred while starting the application.";

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(LauncherTest, TypicalRunStartsTheBundledRuntimeAndReturnsItsExitCode) {
    installRuntime();
    childActions("exit 7\n");
    RunResult run = launch(L"--qd-debug report.xml");

    EXPECT_EQ(7u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    ChildRecord received = child();
    ASSERT_TRUE(received.present);
    std::wstring javaw = appDir + L"\\jvm\\bin\\javaw.exe";
    EXPECT_EQ(javaw, received.value(L"exe"));
    EXPECT_EQ(0u, received.value(L"commandline").rfind(L"\"" + javaw + L"\" ", 0)) << narrow(received.value(L"commandline"));
    EXPECT_EQ(appDir, received.value(L"cwd")) << "CFG_WORK_DIR \".\" is the executable's directory";
    EXPECT_EQ(L"none", received.value(L"stdin"));
    EXPECT_EQ(L"none", received.value(L"stdout"));
    EXPECT_EQ(L"pipe", received.value(L"stderr"));
}

TEST_F(LauncherTest, LogBeginsWithTheCommandLineAndEndsWithTheChildsExitCode) {
    installRuntime();
    childActions("exit 7\n");
    launch(L"--qd-debug report.xml");

    std::string log = logBytes();
    EXPECT_EQ(0u, log.rfind("\r\n\r\nCmdLine:\t" + narrow(exePath()) + " --qd-debug report.xml\r\n", 0)) << log;
    EXPECT_NE(std::string::npos, log.find("\r\nWorking dir:\t" + narrow(appDir) + "\\.\r\n")) << log;
    // Both closing lines carry the child's real exit code.
    EXPECT_TRUE(endsWith(log, "\r\nExit code:\t7\r\nExit code:\t7\r\n")) << log;
}

TEST_F(LauncherTest, WithoutDebugSwitchNoLogIsWritten) {
    installRuntime();
    launch(L"report.xml");
    EXPECT_TRUE(childRan());
    EXPECT_FALSE(fileExists(logPath()));
}

TEST_F(LauncherTest, SecondDebugRunAppendsAfterTwoEmptyLines) {
    installRuntime();
    launch(L"--qd-debug one");
    std::string first = logBytes();
    launch(L"--qd-debug two");
    std::string both = logBytes();
    ASSERT_GT(both.size(), first.size());
    EXPECT_EQ(first, both.substr(0, first.size()));
    std::string secondStart = "\r\n\r\nCmdLine:\t" + narrow(exePath()) + " --qd-debug two\r\n";
    EXPECT_EQ(secondStart, both.substr(first.size(), secondStart.size()));
}

TEST_F(LauncherTest, NonLatinCharactersAreQuestionMarksInTheLog) {
    exeName = L"\u0442\u0435\u0441\u0442.exe";
    installRuntime();
    launch(L"--qd-debug \u00E9t\u00E9 \u65E5");
    EXPECT_EQ(0u, logBytes().rfind("\r\n\r\nCmdLine:\t" + latin1(appDir) + "\\????.exe --qd-debug \xE9t\xE9 ?\r\n", 0));
    EXPECT_EQ(appDir + L"\\jvm\\bin\\javaw.exe", child().value(L"exe"));
}

TEST_F(LauncherTest, MissingStartupMessageGivesAnEmptyReportAndNoChild) {
    installRuntime();
    records.erase(101);
    records[10] = L"Demo";
    RunResult run = launch(L"--qd-debug");

    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"", run.dialogs[0].text);
    EXPECT_EQ(L"Demo", run.dialogs[0].title);
    EXPECT_FALSE(childRan());
    EXPECT_EQ(std::string::npos, logBytes().find("Bundled JRE")) << "no runtime is looked for";
}

TEST_F(LauncherTest, LogThatCannotBeOpenedEndsTheRunWithTheSystemsText) {
    installRuntime();
    records[10] = L"Demo";
    records[22] = L"https://help.example.com/";
    // Another program holds the log open exclusively.
    HANDLE held = CreateFileW(logPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    RunResult run = launch(L"--qd-debug");
    CloseHandle(held);

    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"QDLauncher", run.dialogs[0].title) << "the configured title is read only later";
    EXPECT_EQ(L"\n\n" + systemErrorText(ERROR_SHARING_VIOLATION), run.dialogs[0].text);
    EXPECT_FALSE(childRan());
}

TEST_F(LauncherTest, AnotherInstanceHoldingTheMutexEndsWithExitTwoQuietly) {
    installRuntime();
    std::wstring name = L"QdTestMutex-" + std::to_wstring(GetCurrentProcessId());
    records[23] = name;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    RunResult run = launch(L"--qd-debug");
    CloseHandle(mutex);

    EXPECT_EQ(2u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_FALSE(childRan());
    EXPECT_TRUE(endsWith(logBytes(), "Instance already exists."));
}

// A name that an object of another kind already holds (a program squatting
// on it, say) gives no mutex: the application still starts, and the log says
// why it has no single instance.
TEST_F(LauncherTest, ANameHeldByAnotherKindOfObjectLeavesTheLaunchWithoutItsSingleInstance) {
    installRuntime();
    std::wstring name = L"QdTestMutex-taken-" + std::to_wstring(GetCurrentProcessId());
    records[23] = name;
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    RunResult run = launch(L"--qd-debug");
    CloseHandle(squatter);

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(childRan());
    EXPECT_NE(std::string::npos, logBytes().find("\r\nNo mutex:\tQdTestMutex-taken-"));
    EXPECT_NE(std::string::npos, logBytes().find(" (error 6)\r\n"));
}

LRESULT CALLBACK plainWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

TEST_F(LauncherTest, AnotherInstanceBringsTheRunningWindowForward) {
    installRuntime();
    std::wstring name = L"QdTestMutex-activate-" + std::to_wstring(GetCurrentProcessId());
    records[23] = name;
    records[24] = L"Running Demo";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = plainWindowProc;
    wc.lpszClassName = L"QdTestRunningInstance";
    RegisterClassW(&wc);
    HWND running = CreateWindowExW(0, wc.lpszClassName, L"The Running Demo Window", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                   100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, running);
    ASSERT_FALSE(IsWindowVisible(running));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    RunResult run = launch();
    CloseHandle(mutex);

    EXPECT_EQ(2u, run.exitCode);
    EXPECT_TRUE(IsWindowVisible(running));
    DestroyWindow(running);
}

TEST_F(LauncherTest, NameStaysTakenWhileTheApplicationRunsSoASecondLaunchFindsIt) {
    installRuntime();
    std::wstring name = L"QdTestMutex-child-" + std::to_wstring(GetCurrentProcessId());
    records[23] = name;
    childRunsUntilReleased();
    startInBackground();

    RunResult second = launch();
    EXPECT_EQ(2u, second.exitCode);
}

TEST_F(LauncherTest, ProcessTheApplicationLeftRunningDoesNotKeepTheNameTaken) {
    installRuntime();
    records[23] = L"QdTestMutex-helper-" + std::to_wstring(GetCurrentProcessId());
    std::wstring helperRelease = joinPath(testDir, L"helper-release.flag");
    // A helper (a tray process, an updater) started with inheritance on, as
    // Java starts processes, outlives the application.
    childActions("spawn-self-until " + narrow(helperRelease) + "\nexit 0\n");
    RunResult first = launch();
    ASSERT_EQ(0u, first.exitCode);

    childActions("exit 3\n");
    RunResult second = launch();
    writeFileBytes(helperRelease, "");

    EXPECT_EQ(3u, second.exitCode) << "the helper kept the name taken";
}

TEST_F(LauncherTest, ChildThatCannotBeStartedIsReportedWithTheSystemsText) {
    installRuntime();
    // Not a program: the system refuses to start it.
    ASSERT_TRUE(writeFileBytes(appDir + L"\\jvm\\bin\\javaw.exe", "this is not a program"));
    RunResult run = launch();

    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) + L"\n\n" + systemErrorText(ERROR_BAD_EXE_FORMAT), run.dialogs[0].text);
}

TEST_F(LauncherTest, MissingRuntimeIsReportedAndTheHelpPageOpenedAfterTheBox) {
    // The "page" is a program: the shell runs it, and it leaves its record.
    std::wstring helper = joinPath(testDir, L"help-page.exe");
    ASSERT_TRUE(CopyFileW(fakeRuntimePath().c_str(), helper.c_str(), FALSE));
    records[22] = helper;
    records.erase(2); // no registry search
    RunResult run = launch(L"--qd-debug");

    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"This application was configured to use a bundled Java Runtime Environment but the runtime is "
              L"missing or corrupted.",
              run.dialogs[0].text);
    EXPECT_TRUE(waitUntil([&] { return childRan(); }, 20000)) << "the help page was opened";
    EXPECT_EQ(helper, child().value(L"exe"));
    EXPECT_TRUE(endsWith(logBytes(), "Open URL:\t" + narrow(helper) + "\r\n"));
}

TEST_F(LauncherTest, RecordLongerThanItsPlaceIsRefusedClearly) {
    installRuntime();
    records[15] = std::wstring(128, L'c'); // CFG_MAIN_CLASS holds at most 127
    RunResult run = launch();

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) +
                  L"\n\nThe launcher's configuration is damaged: record 15 is longer than the 127 characters it "
                  L"may hold.",
              run.dialogs[0].text);
}

TEST_F(LauncherTest, RecordStoredWithoutTerminatorEndsWithItsData) {
    installRuntime();
    records.erase(15);
    prepareLauncher();
    std::wstring mainClass = L"com.example.Unterminated";
    ASSERT_TRUE(stampRawRecord(exePath(), 15, std::string(reinterpret_cast<const char*>(mainClass.data()),
                                                          mainClass.size() * sizeof(wchar_t))));
    launch();
    std::wstring commandLine = child().value(L"commandline");
    EXPECT_NE(std::wstring::npos, commandLine.find(L"\" com.example.Unterminated")) << narrow(commandLine);
}

TEST_F(LauncherTest, CommandLineBeyondTheSystemLimitIsRefusedNotCut) {
    installRuntime();
    records[12] = std::wstring(20000, L'o');
    records[16] = std::wstring(13000, L'l');
    RunResult run = launch();

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) + L"\n\nThe classpath would make the command line for the Java runtime "
                                            L"longer than 32767 characters.",
              run.dialogs[0].text);
}

} // namespace

namespace {

TEST_F(LauncherTest, ExecutablePathBeyond259CharactersIsRefusedClearly) {
    appDir += L"\\" + std::wstring(120, L'a') + L"\\" + std::wstring(120, L'b');
    ASSERT_TRUE(makeDirectories(appDir));
    ASSERT_GT(exePath().size(), 259u);
    installRuntime();
    prepareLauncher();
    RunResult run = runProgram(exePath(), L"", testDir, environment, pressOk, 20000);
    if (!run.started) GTEST_SKIP() << "this system cannot start a program from a path that long";

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"The path of this program is longer than 259 characters. Install the application in a folder "
              L"with a shorter path.",
              run.dialogs[0].text);
}

} // namespace
