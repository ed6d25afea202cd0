#include "launcher_fixture.h"

using namespace e2e;

const Records& shippedRecords() {
    static const Records records = readRecords(shippedLauncherPath());
    return records;
}

bool splashVisible(DWORD pid) {
    for (const WindowInfo& window : topLevelWindows(pid)) {
        if (window.className == L"Static" && window.visible) return true;
    }
    return false;
}

void LauncherTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name = widen(std::string(info->test_suite_name()) + "." + info->name());
    for (wchar_t& c : name) {
        if (c == L'/') c = L'_';
    }
    // A folder of its own for every set-up in this process: a launcher file
    // that just ran is never deleted and written again at the same place
    // (repeated runs), which Wine was seen to refuse to start now and then.
    static int setUps = 0;
    name += L"-" + std::to_wstring(++setUps);
    testDir = joinPath(joinPath(tempDirectory(), L"qdt"), name);
    removeTree(testDir);
    // SetUp may run again inside a table-driven test: each case stamps its own launcher.
    launcherPrepared = false;
    appDir = joinPath(testDir, L"app");
    ASSERT_TRUE(makeDirectories(appDir));
    records = shippedRecords();
    ASSERT_FALSE(records.empty()) << "no records in the shipped launcher";
    environment[L"QDTEST_CHILD_RECORD"] = childRecordPath();
    environment[L"QDTEST_CHILD_ACTIONS"] = childActionsPath();
}

void LauncherTest::installRuntime(const std::wstring& relative) {
    std::wstring bin = joinPath(joinPath(appDir, relative), L"bin");
    ASSERT_TRUE(makeDirectories(bin));
    ASSERT_TRUE(CopyFileW(runtimeStandIn.c_str(), joinPath(bin, runtimeProgram).c_str(), FALSE));
}

void LauncherTest::installJavaHomeRuntime() {
    installRuntime(L"jdk-17");
    ASSERT_TRUE(writeFileBytes(appDir + L"\\jdk-17\\release", "JAVA_VERSION=\"17.0.1\"\n"));
    environment[L"JAVA_HOME"] = appDir + L"\\jdk-17";
    records[2] = L"17";
    records[31] = L"java_home";
}

void LauncherTest::useConsoleLauncher() {
    bareLauncher = consoleBareLauncherPath();
    runtimeStandIn = fakeConsoleRuntimePath();
    runtimeProgram = L"java.exe";
}

void LauncherTest::childActions(const std::string& actions) {
    ASSERT_TRUE(writeFileBytes(childActionsPath(), actions));
}

void LauncherTest::restartedChildActions(int n, const std::string& actions) {
    ASSERT_TRUE(writeFileBytes(childActionsPath() + L"." + std::to_wstring(n), actions));
}

void LauncherTest::prepareLauncher() {
    if (launcherPrepared) return;
    if (!preconfiguredLauncher.empty()) {
        ASSERT_TRUE(CopyFileW(preconfiguredLauncher.c_str(), exePath().c_str(), FALSE));
        launcherPrepared = true;
        return;
    }
    ASSERT_TRUE(CopyFileW(bareLauncher.c_str(), exePath().c_str(), FALSE));
    ASSERT_TRUE(stampRecords(exePath(), records));
    launcherPrepared = true;
}

RunResult LauncherTest::launch(const std::wstring& arguments, const Answer& answer, DWORD timeoutMs) {
    prepareLauncher();
    RunResult result =
        runProgram(exePath(), arguments, testDir, environment, answer, timeoutMs, whileRunning, creationFlags);
    EXPECT_TRUE(result.started) << "the launcher could not be started: error " << result.startError;
    EXPECT_TRUE(result.finished) << "the launcher did not end within " << timeoutMs << " ms";
    return result;
}

void LauncherTest::TearDown() {
    if (background.hProcess != nullptr) releaseBackground();
}

void LauncherTest::childRunsUntilReleased(const std::string& meanwhile, const std::string& atRelease) {
    childActions("touch " + narrow(runningFlag()) + "\n" + meanwhile + "wait-file " + narrow(releaseFlag()) + "\n" +
                 atRelease);
}

void LauncherTest::startInBackground(const std::wstring& arguments, const std::wstring& exe) {
    prepareLauncher();
    std::wstring commandLine = L"\"" + (exe.empty() ? exePath() : exe) + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    // The launcher inherits the test's environment with the test's additions.
    for (const auto& [name, value] : environment) SetEnvironmentVariableW(name.c_str(), value.c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, testDir.c_str(),
                               &startup, &background));
    ASSERT_TRUE(waitUntil([&] { return fileExists(runningFlag()); }, 20000)) << "the background launcher's child runs";
}

DWORD LauncherTest::releaseBackground() {
    writeFileBytes(releaseFlag(), "");
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(background.hProcess, 20000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(background.hProcess, &exitCode);
    } else {
        ADD_FAILURE() << "the background launcher did not end once released";
        TerminateProcess(background.hProcess, 1);
    }
    CloseHandle(background.hThread);
    CloseHandle(background.hProcess);
    background = PROCESS_INFORMATION{};
    return exitCode;
}
