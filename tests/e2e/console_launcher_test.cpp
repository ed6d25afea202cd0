// The console launcher seen from a Windows starter: exit codes, no window,
// java.exe wherever the runtime comes from, Ctrl+C, a restart. (Pipes, reports, the
// single instance and the low-memory question: tests/console-launcher-check.sh.)
#include "launcher_fixture.h"

using namespace e2e;

namespace {

class ConsoleLauncherTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        useConsoleLauncher();
        installRuntime();
    }
};

TEST_F(ConsoleLauncherTest, ExitCodesPassThroughWithoutAWindow) {
    for (DWORD code : {0u, 3u, 259u}) {
        SCOPED_TRACE(code);
        SetUp();
        childActions("exit " + std::to_string(code) + "\n");
        size_t windowsSeen = 0;
        whileRunning = [&](DWORD pid) { windowsSeen += topLevelWindows(pid).size(); };
        RunResult run = launch();
        EXPECT_EQ(code, run.exitCode);
        EXPECT_TRUE(run.dialogs.empty());
        EXPECT_EQ(0u, windowsSeen);
        EXPECT_EQ(appDir + L"\\jvm\\bin\\java.exe", child().value(L"exe"));
    }
}

// A runtime with only java.exe, found through JAVA_HOME: another product's, so
// it gets no private copy. Then the private copy of the bundled runtime, and
// the runtime's own java.exe when the loader refuses the copy.
TEST_F(ConsoleLauncherTest, JavaExeWhereverTheRuntimeComesFrom) {
    installJavaHomeRuntime();
    records[1] = L"missing";
    records[9] = L"true";
    launch(L"--qd-debug");
    EXPECT_EQ(appDir + L"\\jdk-17\\bin\\java.exe", child().value(L"exe"));
    EXPECT_EQ(std::vector<std::wstring>{L"java.exe"}, listFiles(appDir + L"\\jdk-17\\bin\\*"));
    EXPECT_NE(std::string::npos, logBytes().find("\r\nNo private copy:\tthe runtime is not the one CFG_RUNTIME_DIR "
                                                 "names\r\n"));

    SetUp();
    records[9] = L"true";
    launch();
    std::wstring copy = appDir + L"\\jvm\\bin\\" + exeName;
    EXPECT_EQ(copy, child().value(L"exe"));
    EXPECT_EQ(readFileBytes(fakeConsoleRuntimePath()), readFileBytes(copy));

    environment[L"QDTEST_COPY_EXIT"] = L"0xC0000135";
    childActions("exit 4\n");
    RunResult run = launch();
    EXPECT_EQ(4u, run.exitCode);
    EXPECT_EQ(appDir + L"\\jvm\\bin\\java.exe", child().value(L"exe"));
}

// The stand-in child sends Ctrl+C to every process of its console, as the
// console does for the keys. Without a handler the launcher would end at once;
// had it set its console to ignore Ctrl+C, the child would never see it.
// (Wine delivers neither Ctrl+Break nor close events: tests/unit/console_test.cpp.)
TEST_F(ConsoleLauncherTest, CtrlCIsTheChildsToHandle) {
    creationFlags = CREATE_NEW_CONSOLE;
    childActions("on-ctrl-c 130\nsend-ctrl-c\nsleep 20000\nexit 5\n");
    RunResult run = launch(L"", pressOk, 40000);
    EXPECT_EQ(130u, run.exitCode);
    EXPECT_EQ(L"char", child().value(L"stdin")) << "the child shares the launcher's console handles";
}

// A restarted child shares the console too, and Ctrl+C is still its to handle.
TEST_F(ConsoleLauncherTest, RestartedChildSharesTheConsoleAndItsCtrlC) {
    creationFlags = CREATE_NEW_CONSOLE;
    records[39] = L"23";
    childActions("exit 23\n");
    restartedChildActions(1, "on-ctrl-c 130\nsend-ctrl-c\nsleep 20000\nexit 5\n");
    RunResult run = launch(L"", pressOk, 40000);
    EXPECT_EQ(130u, run.exitCode);
    EXPECT_EQ(L"char", restartedChild(1).value(L"stdin"));
}

} // namespace
