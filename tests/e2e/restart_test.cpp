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

    size_t occurrences(const std::wstring& text, const std::wstring& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }

    size_t captureFiles() { return listFiles(tempDirectory() + L"QD_*.tmp").size(); }
};

TEST_F(RestartTest, RestartedChildGetsTheSameArgumentsOnACleanSlate) {
    installRuntime();
    // A value that refers to itself grows with every preparation that does not start from the saved environment.
    records[19] = L"QDTEST_GROW=%QDTEST_GROW%+";
    environment[L"QDTEST_GROW"] = L"a";
    childActions("stderr update staged\nexit 23\n");
    restartedChildActions(1, "exit 0\n");
    size_t filesBefore = captureFiles();
    RunResult run = launch(L"--qd-debug report.xml");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty()) << "the child that asked for the restart did not fail to start";
    EXPECT_EQ(filesBefore + 1, captureFiles()) << "its error output is kept; the empty one of the next is not";
    ChildRecord first = child();
    ChildRecord second = restartedChild(1);
    ASSERT_TRUE(first.present);
    ASSERT_TRUE(second.present);
    EXPECT_FALSE(restartedChild(2).present);

    std::wstring commandLine = first.value(L"commandline");
    size_t form = commandLine.find(L"-classpath ");
    ASSERT_NE(std::wstring::npos, form) << narrow(commandLine);
    EXPECT_EQ(std::wstring::npos, commandLine.find(L"qdlauncher.restarted"));
    EXPECT_EQ(commandLine.insert(form, L"-Dqdlauncher.restarted=1 "), second.value(L"commandline"));
    EXPECT_EQ(L"a+", second.env(L"QDTEST_GROW"));
    EXPECT_EQ(1u, occurrences(second.env(L"Path"), appDir + L"\\jvm\\bin"));

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

// The updater installs the bundled runtime and writes the options file while
// the first child waits; the restart finds both.
TEST_F(RestartTest, RuntimeAndOptionsChangedMeanwhileAreUsed) {
    installJavaHomeRuntime();
    std::wstring staged = joinPath(testDir, L"staged.flag");
    std::wstring applied = joinPath(testDir, L"applied.flag");
    childActions("touch " + narrow(staged) + "\nwait-file " + narrow(applied) + "\nexit 23\n");
    restartedChildActions(1, "exit 0\n");
    whileRunning = [&](DWORD) {
        if (!fileExists(staged) || fileExists(applied)) return;
        installRuntime();
        writeFileBytes(joinPath(appDir, L"tool.qd.ini"), "-Dupdated=yes\n");
        writeFileBytes(applied, "");
    };
    RunResult run = launch();

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(appDir + L"\\jdk-17\\bin\\javaw.exe", child().value(L"exe"));
    ChildRecord second = restartedChild(1);
    EXPECT_EQ(appDir + L"\\jvm\\bin\\javaw.exe", second.value(L"exe"));
    EXPECT_NE(std::wstring::npos, second.value(L"commandline").find(L"-Dupdated=yes -Dqdlauncher.restarted=1 -classpath"));
    EXPECT_NE(std::wstring::npos, second.env(L"Path").find(appDir + L"\\jvm\\bin"));
    EXPECT_EQ(std::wstring::npos, second.env(L"Path").find(L"jdk-17")) << "Path starts from the launcher's own again";
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
        EXPECT_EQ(c.restarts > 0, log.find("\r\nNo restart:\t5 restarts in a row within 60 s of each start\r\n") != std::string::npos)
            << log;
        EXPECT_EQ(c.restarts > 0, log.find("\r\nRestart:\t23\r\n") != std::string::npos) << log;
    }
}

TEST_F(RestartTest, SplashIsNotShownAgain) {
    installRuntime();
    records[4] = L"true";
    prepareLauncher();
    ASSERT_TRUE(stampBitmap(exePath(), makeBitmapFile(64, 48)));
    std::wstring running = joinPath(testDir, L"running.flag");
    std::wstring seen = joinPath(testDir, L"seen.flag");
    childActions("exit 23\n");
    restartedChildActions(1, "touch " + narrow(running) + "\nwait-file " + narrow(seen) + "\n");
    size_t visibleWindows = 0;
    whileRunning = [&](DWORD pid) {
        if (!fileExists(running) || fileExists(seen)) return;
        for (const WindowInfo& window : topLevelWindows(pid)) visibleWindows += window.visible ? 1 : 0;
        writeFileBytes(seen, "");
    };
    RunResult run = launch();

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(fileExists(seen));
    EXPECT_EQ(0u, visibleWindows);
}

} // namespace
