// Restart on request as an updating application meets it: the child that ends
// with the restart code is followed by a new one, prepared afresh, while the
// launcher keeps the single instance; anything else ends the launcher.
#include "launcher_fixture.h"

using namespace e2e;

namespace {

class RestartTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        records[39] = L"23";
    }
};

// An update as the user meets it: the application, on a runtime found through
// JAVA_HOME, stages an update, says so on its error output and ends with the
// restart code while the updater puts a bundled runtime and an options file in
// place. The application comes back on the new runtime with the new option,
// the same arguments and a clean environment; no failure is reported and the
// splash is not shown again.
TEST_F(RestartTest, UpdatedApplicationComesBackPreparedAfresh) {
    installJavaHomeRuntime();
    records[4] = L"true";
    // A value that refers to itself grows with every preparation that does not
    // start from the saved environment.
    records[19] = L"QDTEST_GROW=%QDTEST_GROW%+";
    environment[L"QDTEST_GROW"] = L"a";
    prepareLauncher();
    ASSERT_TRUE(stampBitmap(exePath(), makeBitmapFile(64, 48)));
    std::wstring staged = joinPath(testDir, L"staged"), applied = joinPath(testDir, L"applied");
    std::wstring running = joinPath(testDir, L"running"), looked = joinPath(testDir, L"looked");
    childActions("stderr update staged\ntouch " + narrow(staged) + "\nwait-file " + narrow(applied) + "\nexit 23\n");
    restartedChildActions(1, "touch " + narrow(running) + "\nwait-file " + narrow(looked) + "\n");
    size_t visibleWindows = 0;
    whileRunning = [&](DWORD pid) {
        if (fileExists(staged) && !fileExists(applied)) {
            installRuntime();
            writeFileBytes(joinPath(appDir, L"tool.qd.ini"), "-Dupdated=yes\n");
            writeFileBytes(applied, "");
        }
        if (fileExists(running) && !fileExists(looked)) {
            for (const WindowInfo& window : topLevelWindows(pid)) visibleWindows += window.visible ? 1 : 0;
            writeFileBytes(looked, "");
        }
    };
    size_t captureFiles = listFiles(tempDirectory() + L"QD_*.tmp").size();
    RunResult run = launch(L"--qd-debug report.xml");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_EQ(captureFiles + 1, listFiles(tempDirectory() + L"QD_*.tmp").size()) << "the first child's output stays";
    EXPECT_TRUE(fileExists(looked));
    EXPECT_EQ(0u, visibleWindows);
    ChildRecord first = child();
    ChildRecord second = restartedChild(1);
    EXPECT_EQ(appDir + L"\\jdk-17\\bin\\javaw.exe", first.value(L"exe"));
    EXPECT_EQ(appDir + L"\\jvm\\bin\\javaw.exe", second.value(L"exe"));
    EXPECT_FALSE(restartedChild(2).present);
    auto arguments = [](const ChildRecord& record) {
        std::wstring commandLine = record.value(L"commandline");
        return commandLine.substr(commandLine.find(L"\" ") + 2);
    };
    std::wstring expected = arguments(first);
    expected.insert(expected.find(L"-classpath "), L"-Dupdated=yes -Dqdlauncher.restarted=1 ");
    EXPECT_EQ(expected, arguments(second));
    EXPECT_EQ(L"a+", second.env(L"QDTEST_GROW"));
    EXPECT_EQ(std::wstring::npos, second.env(L"Path").find(L"jdk-17")) << "Path starts from the launcher's own again";

    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("\r\nExit code:\t23\r\nRestart:\t23\r\nWorking dir:\t")) << log;
    std::string end = "\r\nExit code:\t0\r\nExit code:\t0\r\n";
    EXPECT_EQ(end, log.substr(log.size() - end.size())) << log;
}

// Between the two children the launcher asks the low-memory question again:
// no child runs then, and a second start finds the application's mutex taken.
TEST_F(RestartTest, MutexStaysTakenBetweenTheChildren) {
    installRuntime();
    records[23] = L"QdTestMutex-restart-" + std::to_wstring(GetCurrentProcessId());
    records[29] = L"2000000000"; // preferred: more than any machine has free
    records[30] = L"0";
    childActions("exit 23\n");
    restartedChildActions(1, "exit 0\n");
    DWORD secondStart = 0;
    int questions = 0;
    RunResult run = launch(L"", [&](const Dialog&) {
        if (++questions == 2) secondStart = runProgram(exePath(), L"", testDir, environment, pressOk, 20000).exitCode;
        return Press::Yes;
    });

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(2, questions);
    EXPECT_EQ(2u, secondStart);
    EXPECT_TRUE(restartedChild(1).present);
}

TEST_F(RestartTest, OnlyTheRestartCodeRestartsAndNotEndlessly) {
    const struct {
        const char* actions;
        DWORD exitCode;
        int restarts;
    } cases[] = {
        {"exit 7\n", 7, 0},
        {"exit 23\n", 23, 5}, // every child asks again at once
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.actions);
        SetUp();
        installRuntime();
        childActions(c.actions);
        RunResult run = launch(L"--qd-debug");

        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_TRUE(run.dialogs.empty());
        for (int n = 1; n <= c.restarts; ++n) EXPECT_TRUE(restartedChild(n).present) << n;
        EXPECT_FALSE(restartedChild(c.restarts + 1).present);
        std::string log = logBytes();
        std::string guard = "\r\nNo restart:\t5 restarts in a row within 60 s of each start\r\n";
        EXPECT_EQ(c.restarts > 0, log.find(guard) != std::string::npos) << log;
        EXPECT_EQ(c.restarts > 0, log.find("\r\nRestart:\t23\r\n") != std::string::npos) << log;
    }
}

// With forwarded starts, a restart loses no start: one the application had
// not read when it ended for the restart reaches the restarted application,
// and so does a start made while it runs, on an input of its own. Neither
// starts a child.
TEST_F(RestartTest, LaterStartsReachTheRestartedApplication) {
    installRuntime();
    records[23] = L"QdTestMutex-restart-forward-" + std::to_wstring(GetCurrentProcessId());
    records[37] = L"true";
    std::wstring first = joinPath(testDir, L"first"), handed = joinPath(testDir, L"handed");
    std::wstring second = joinPath(testDir, L"second"), release = joinPath(testDir, L"release");
    std::wstring lines = joinPath(testDir, L"lines.txt");
    childActions("touch " + narrow(first) + "\nwait-file " + narrow(handed) + "\nexit 23\n");
    restartedChildActions(1, "stdin-to-file " + narrow(lines) + "\ntouch " + narrow(second) + "\nwait-file " +
                                 narrow(release) + "\n");
    DWORD unread = 99, whileRunning2 = 99;
    whileRunning = [&](DWORD) {
        if (fileExists(first) && unread == 99) {
            unread = runProgram(exePath(), L"unread.txt", appDir, environment, pressOk, 20000).exitCode;
            writeFileBytes(handed, "");
        }
        if (fileExists(second) && whileRunning2 == 99) {
            whileRunning2 = runProgram(exePath(), L"\"while running.txt\"", appDir, environment, pressOk, 20000).exitCode;
            waitUntil([&] { return readFileBytes(lines).find("running") != std::string::npos; }, 20000);
            writeFileBytes(release, "");
        }
    };
    RunResult run = launch(L"--qd-debug");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(0u, unread);
    EXPECT_EQ(0u, whileRunning2);
    EXPECT_EQ(narrow(appDir) + "\tunread.txt\n" + narrow(appDir) + "\twhile%20running.txt\n", readFileBytes(lines));
    EXPECT_FALSE(restartedChild(2).present);
}

} // namespace
