// The console launcher as its starter sees it from Windows: the child's exit
// code, whatever it is, becomes the launcher's; no window appears; the child
// is java.exe wherever the runtime comes from; and the console's Ctrl+C
// reaches the child while the launcher lives on.
// (Standard input and output through pipes, reports, the single instance and
// the low-memory question are driven from Linux: tests/console-launcher-check.sh.)
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

// Where the GUI launcher looks for javaw.exe, the console launcher looks for
// java.exe: here a runtime with only that program, found through JAVA_HOME.
TEST_F(ConsoleLauncherTest, ListedSourcesLookForJavaExe) {
    installRuntime(L"jdk-17");
    ASSERT_TRUE(writeFileBytes(appDir + L"\\jdk-17\\release", "JAVA_VERSION=\"17.0.1\"\n"));
    environment[L"JAVA_HOME"] = appDir + L"\\jdk-17";
    records[1] = L"missing";
    records[2] = L"17";
    records[31] = L"java_home";
    RunResult run = launch();
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(appDir + L"\\jdk-17\\bin\\java.exe", child().value(L"exe"));
}

TEST_F(ConsoleLauncherTest, ThePrivateCopyIsOfJavaExe) {
    records[9] = L"true";
    RunResult run = launch();
    EXPECT_EQ(0u, run.exitCode);
    std::wstring copy = appDir + L"\\jvm\\qd-launch-tmp\\" + exeName;
    EXPECT_EQ(copy, child().value(L"exe"));
    EXPECT_EQ(readFileBytes(fakeConsoleRuntimePath()), readFileBytes(copy));
}

// The stand-in child sends Ctrl+C to every process of the console, as the
// console does when the user presses the keys. A launcher without a handler
// of its own would end at once (with 0xC000013A); one that made its console
// ignore Ctrl+C would have passed that on to the child, whose handler would
// then never run. (Wine's console does not deliver Ctrl+Break, nor close
// events: those decisions are unit-tested, tests/unit/console_test.cpp.)
TEST_F(ConsoleLauncherTest, CtrlCIsTheChildsToHandle) {
    creationFlags = CREATE_NEW_CONSOLE;
    childActions("on-ctrl-c 130\nsend-ctrl-c\nsleep 20000\nexit 5\n");
    RunResult run = launch(L"", pressOk, 40000);
    EXPECT_EQ(130u, run.exitCode);
    // The child shares the launcher's console and its standard handles.
    EXPECT_EQ(L"char", child().value(L"stdin"));
    EXPECT_EQ(L"char", child().value(L"stdout"));
}

} // namespace
