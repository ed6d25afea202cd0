// Faults around the child and the files the launcher writes: the launcher
// still ends promptly, returns the child's code and reports clearly.
#include "launcher_fixture.h"

using namespace e2e;

namespace {

TEST_F(LauncherTest, GrandchildHoldingTheOutputPipeDoesNotKeepTheLauncherAlive) {
    installRuntime();
    std::wstring childEnded = joinPath(testDir, L"child-ended.flag");
    // The grandchild inherits the error-output pipe and outlives the child by far.
    childActions("spawn-self 15000\ntouch " + narrow(childEnded) + "\nexit 6\n");
    // Ending before the grandchild does means the launcher gave up the pipe
    // (one second's wait, then the read is cancelled) instead of waiting for it.
    RunResult run = launch(L"", pressOk, 12000);

    EXPECT_TRUE(run.finished) << "the launcher waited for the grandchild";
    EXPECT_EQ(6u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
}

TEST_F(LauncherTest, ChildClosingItsErrorOutputEarlyRunsOnAndIsWaitedFor) {
    installRuntime();
    std::wstring release = joinPath(testDir, L"release.flag");
    std::wstring closed = joinPath(testDir, L"closed.flag");
    childActions("close-stderr\ntouch " + narrow(closed) + "\nwait-file " + narrow(release) + "\nexit 9\n");
    prepareLauncher();
    // Release the child from a second thread once it has closed its output.
    HANDLE releaser = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            auto* paths = static_cast<std::pair<std::wstring, std::wstring>*>(param);
            if (waitUntil([&] { return fileExists(paths->first); }, 20000)) writeFileBytes(paths->second, "");
            return 0;
        },
        new std::pair<std::wstring, std::wstring>(closed, release), 0, nullptr);
    RunResult run = launch();
    WaitForSingleObject(releaser, 25000);
    CloseHandle(releaser);

    EXPECT_EQ(9u, run.exitCode) << "the launcher waited for the child, not for its output";
    EXPECT_TRUE(run.dialogs.empty());
}

TEST_F(LauncherTest, ReadOnlyLogFileIsReportedAndNothingStarts) {
    installRuntime();
    ASSERT_TRUE(writeFileBytes(logPath(), "old runs\r\n"));
    ASSERT_TRUE(SetFileAttributesW(logPath().c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE probe = CreateFileW(logPath().c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesW(logPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "read-only files are writable for this user here (Wine running as root)";
    }
    RunResult run = launch(L"--qd-debug");
    SetFileAttributesW(logPath().c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"\n\n" + systemErrorText(ERROR_ACCESS_DENIED), run.dialogs[0].text);
    EXPECT_EQ("old runs\r\n", logBytes());
}

TEST_F(LauncherTest, LogPathTakenByAFolderIsReportedAndNothingStarts) {
    installRuntime();
    ASSERT_TRUE(CreateDirectoryW(logPath().c_str(), nullptr));
    RunResult run = launch(L"--qd-debug");

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"QDLauncher", run.dialogs[0].title);
    EXPECT_EQ(L"\n\n" + systemErrorText(ERROR_ACCESS_DENIED), run.dialogs[0].text);
}

TEST_F(LauncherTest, LogIsNotHeldOpenByProcessesTheApplicationStarts) {
    installRuntime();
    // The application starts a process (with inheritance on, as Java does)
    // that outlives the launcher.
    childActions("spawn-self 15000\nexit 0\n");
    RunResult run = launch(L"--qd-debug");
    ASSERT_TRUE(run.finished);

    HANDLE log = CreateFileW(logPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, log) << "the log is still locked: error " << GetLastError();
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
}

TEST_F(LauncherTest, CyrillicAndCjkFoldersReachTheChildIntact) {
    appDir = joinPath(testDir, L"\u041f\u0440\u0438\u043b\u043e\u0436\u0435\u043d\u0438\u0435 \u5e94\u7528");
    ASSERT_TRUE(makeDirectories(appDir));
    exeName = L"\u0437\u0430\u043f\u0443\u0441\u043a.exe";
    installRuntime();
    launch(L"--qd-debug \u6587\u4ef6.txt");

    ChildRecord received = child();
    ASSERT_TRUE(received.present);
    EXPECT_EQ(appDir + L"\\jvm\\bin\\javaw.exe", received.value(L"exe"));
    EXPECT_EQ(appDir, received.value(L"cwd"));
    std::wstring commandLine = received.value(L"commandline");
    EXPECT_NE(std::wstring::npos, commandLine.find(L"\u6587\u4ef6.txt")) << narrow(commandLine);
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("\\?????????? ??\\??????.exe --qd-debug ??.txt\r\n")) << log;
}

} // namespace
