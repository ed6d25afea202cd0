// What the child inherits from the launcher: Path and the configured
// variables, and which program file it runs (the runtime's own launcher or
// the private copy named like the executable).
#include "launcher_fixture.h"

#include <thread>
#include <vector>

using namespace e2e;

namespace {

const wchar_t* const STARTUP_ERROR = L"An error occurred while starting the application.";

std::wstring ownEnvironment(const wchar_t* name) {
    static wchar_t buffer[32767];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32767);
    return n == 0 || n >= 32767 ? L"" : std::wstring(buffer, n);
}

TEST_F(LauncherTest, ChildSeesPathExtendedAndTheConfiguredVariables) {
    installRuntime();
    records[19] = L"QD_A=1\tQD_B=%QD_A%;x\t\tQD_NO_VALUE\tQD_DIR=%EXEDIR%\\data\tQD_EQ=a=b\tQD_P=%Path%";
    launch(L"--qd-debug");

    ChildRecord received = child();
    ASSERT_TRUE(received.present);
    std::wstring path = ownEnvironment(L"Path") + L";" + appDir + L"\\jvm\\bin";
    EXPECT_EQ(path, received.env(L"Path"));
    EXPECT_EQ(L"1", received.env(L"QD_A"));
    EXPECT_EQ(L"1;x", received.env(L"QD_B")) << "each value sees the variables set before it";
    EXPECT_EQ(appDir + L"\\data", received.env(L"QD_DIR"));
    EXPECT_EQ(L"a=b", received.env(L"QD_EQ")) << "only the first \"=\" separates name and value";
    EXPECT_EQ(path, received.env(L"QD_P")) << "the extended Path is visible to the values";
    EXPECT_FALSE(received.hasEnv(L"QD_NO_VALUE"));

    std::string expected = "Set var:\tQD_A = 1\r\n"
                           "Substitute:\tQD_A = 1\r\n"
                           "Set var:\tQD_B = 1;x\r\n"
                           "Skip var:\tQD_NO_VALUE\r\n"
                           "Substitute:\tEXEDIR = " + narrow(appDir) + "\r\n"
                           "Set var:\tQD_DIR = " + narrow(appDir) + "\\data\r\n"
                           "Set var:\tQD_EQ = a=b\r\n"
                           "Substitute:\tPath = " + latin1(path) + "\r\n"
                           "Set var:\tQD_P = " + latin1(path) + "\r\n";
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("(OK)\r\n" + expected)) << log;
}

TEST_F(LauncherTest, ExpandedVariableTooLongForTheEnvironmentIsRefused) {
    installRuntime();
    environment[L"QD_BIG"] = std::wstring(20000, L'b');
    records[19] = L"QD_SMALL=1\tQD_HUGE=%QD_BIG%%QD_BIG%";
    RunResult run = launch();

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) +
                  L"\n\nThe configured value of the environment variable QD_HUGE is longer than 32766 characters "
                  L"once expanded.",
              run.dialogs[0].text);
}

TEST_F(LauncherTest, PathTooLongToExtendIsRefused) {
    installRuntime();
    environment[L"Path"] = std::wstring(32700, L'p');
    RunResult run = launch();

    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) +
                  L"\n\nThe Path environment variable is too long to add the Java runtime's bin folder (more than "
                  L"32766 characters).",
              run.dialogs[0].text);
}

TEST_F(LauncherTest, OnlyThePriorityClassReachesTheChildsCreationFlags) {
    installRuntime();
    records[20] = L"36"; // the normal priority class and CREATE_SUSPENDED
    childActions("exit 7\n");
    RunResult run = launch(L"--qd-debug");

    EXPECT_TRUE(childRan()) << "a suspended child would never run, and the launcher would wait for it forever";
    EXPECT_EQ(7u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_NE(std::string::npos, logBytes().find("\r\nPriority:\t36 is not one priority class; 32 is used\r\n"));
}

// The private launcher: a copy of the runtime's javaw.exe named like the
// executable, beside it in jvm\bin.
class PrivateLauncherTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        records[9] = L"true";
        installRuntime();
        bin = appDir + L"\\jvm\\bin";
        privateCopy = bin + L"\\" + exeName;
    }
    std::wstring plainLauncher() const { return appDir + L"\\jvm\\bin\\javaw.exe"; }
    std::wstring recordOf(int round, int launch) const {
        return e2e::joinPath(testDir, L"child-" + std::to_wstring(round) + L"-" + std::to_wstring(launch) + L".txt");
    }

    std::wstring bin;
    std::wstring privateCopy;
};

TEST_F(PrivateLauncherTest, ChildRunsAsACopyNamedLikeTheExecutable) {
    // What an earlier version left below the runtime is neither used nor touched.
    std::wstring earlierFolder = appDir + L"\\jvm\\qd-launch-tmp";
    ASSERT_TRUE(makeDirectories(earlierFolder));
    ASSERT_TRUE(writeFileBytes(earlierFolder + L"\\tool.exe", "earlier copy"));
    // The copy starts with the executable's manifest beside it (what is copied
    // and how it is logged: tests/unit/runtime_env_test.cpp).
    ASSERT_TRUE(writeFileBytes(exePath() + L".manifest", "<?xml version=\"1.0\"?><assembly "
                                                         "xmlns=\"urn:schemas-microsoft-com:asm.v1\" "
                                                         "manifestVersion=\"1.0\"/>"));
    launch(L"--qd-debug");

    EXPECT_EQ(privateCopy, child().value(L"exe"));
    EXPECT_EQ(std::vector<std::wstring>{L"tool.exe"}, listFiles(earlierFolder + L"\\*.*"));
    EXPECT_EQ("earlier copy", readFileBytes(earlierFolder + L"\\tool.exe"));
    EXPECT_NE(std::string::npos, logBytes().find("\r\nLauncher:\t" + narrow(privateCopy) + "\r\n")) << logBytes();
}

TEST_F(PrivateLauncherTest, DefaultProcSwitchRunsTheRuntimesOwnLauncher) {
    launch(L"--qd-debug x--qd-default-proc");
    EXPECT_EQ(plainLauncher(), child().value(L"exe"));
    EXPECT_FALSE(fileExists(privateCopy));
    EXPECT_EQ(std::string::npos, logBytes().find("Copy:")) << logBytes();
}

TEST_F(PrivateLauncherTest, SecondLaunchReusesTheRunningCopy) {
    // The first launch keeps its child, the private copy, running. Without
    // --qd-debug: the log can be open in only one launcher at a time.
    childRunsUntilReleased();
    startInBackground();
    EXPECT_EQ(privateCopy, child().value(L"exe"));

    // The stand-in reads its actions when it starts: the second child just ends.
    childActions("exit 0\n");
    RunResult second = launch(L"--qd-debug");

    EXPECT_EQ(0u, second.exitCode);
    EXPECT_EQ(privateCopy, child().value(L"exe")) << "the second child runs the same copy";
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("(OK)\r\nReusing:\t\t" + narrow(privateCopy) + "\r\n")) << log;
    EXPECT_EQ(std::string::npos, log.find("Unlink:")) << log;
    EXPECT_EQ(std::string::npos, log.find("Copy:")) << log;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(background.hProcess, 0)) << "the first launch is still running";
}

// Launches started together, as a double-click twice or several documents
// opened at once start them: every one must start its child, from the private
// copy. Each round starts all of them at one signal; the first round finds no
// private folder yet.
TEST_F(PrivateLauncherTest, LaunchesStartedTogetherAllStartTheirChild) {
    const int LAUNCHES = 16;
    childActions("sleep 100\n");
    prepareLauncher();
    for (int round = 0; round < 3; ++round) {
        HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::vector<RunResult> runs(LAUNCHES);
        std::vector<std::thread> threads;
        for (int i = 0; i < LAUNCHES; ++i) {
            std::map<std::wstring, std::wstring> own = environment;
            own[L"QDTEST_CHILD_RECORD"] = recordOf(round, i);
            threads.emplace_back([&, i, own] {
                WaitForSingleObject(go, 30000);
                runs[i] = runProgram(exePath(), L"", testDir, own, pressOk, 60000);
            });
        }
        SetEvent(go);
        for (std::thread& thread : threads) thread.join();
        CloseHandle(go);

        for (int i = 0; i < LAUNCHES; ++i) {
            std::string which = "round " + std::to_string(round) + ", launch " + std::to_string(i);
            EXPECT_TRUE(runs[i].finished) << which;
            EXPECT_EQ(0u, runs[i].exitCode) << which;
            for (const Dialog& dialog : runs[i].dialogs) ADD_FAILURE() << which << ": " << narrow(dialog.text);
            EXPECT_EQ(privateCopy, readChildRecord(recordOf(round, i)).value(L"exe")) << which;
        }
    }
}

// The copy lies beside the runtime's own program, so every DLL of the runtime
// resolves its imports exactly as for javaw.exe: jli.dll at the start, and the
// DLLs that a DLL loaded later by full path imports by name (fontmanager.dll
// importing freetype.dll). DLLs of those names in the working directory or in
// a Path folder ahead of the runtime's are never loaded.
TEST_F(PrivateLauncherTest, CopyLoadsEveryDllFromTheRuntimesBin) {
    std::wstring programs = testProgramDir();
    ASSERT_TRUE(CopyFileW(joinPath(programs, L"fake_javaw_jli.exe").c_str(), plainLauncher().c_str(), FALSE));
    for (const wchar_t* dll : {L"jli.dll", L"fontmanager.dll", L"freetype.dll"}) {
        ASSERT_TRUE(CopyFileW(joinPath(programs, dll).c_str(), joinPath(bin, dll).c_str(), FALSE));
    }
    std::wstring earlierOnPath = joinPath(testDir, L"other-jdk\\bin");
    ASSERT_TRUE(makeDirectories(earlierOnPath));
    for (const std::wstring& folder : {appDir, earlierOnPath}) {
        ASSERT_TRUE(CopyFileW(joinPath(programs, L"planted_jli.dll").c_str(), (folder + L"\\jli.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(joinPath(programs, L"planted_freetype.dll").c_str(), (folder + L"\\freetype.dll").c_str(),
                              FALSE));
    }
    environment[L"Path"] = earlierOnPath + L";" + ownEnvironment(L"Path");
    childActions("load-library " + narrow(bin + L"\\fontmanager.dll") + "\n");
    launch();

    ChildRecord received = child();
    EXPECT_EQ(privateCopy, received.value(L"exe"));
    EXPECT_EQ(appDir, received.value(L"cwd")) << "planted DLLs lie in the working directory";
    EXPECT_EQ(L"runtime", received.value(L"library"));
    EXPECT_EQ(bin + L"\\jli.dll", received.value(L"library-path"));
    EXPECT_EQ(L"runtime", received.value(L"loaded")) << "fontmanager.dll got the runtime's freetype.dll";
}

// The system's loader may end a copy it has started (a DLL missing, an
// application-control policy): CreateProcessW succeeded, so the launch goes on
// with the runtime's own program, and the user sees that program's run: the
// splash until its window, its output, its exit code. The stand-in ends with
// STATUS_DLL_NOT_FOUND whenever it runs under another name than javaw.exe (a
// loader failure of the copy alone cannot be made under Wine).
TEST_F(PrivateLauncherTest, CopyTheLoaderRefusesGivesWayToTheRuntimesOwnProgram) {
    records[4] = L"true"; // CFG_SPLASH
    records[5] = L"true"; // CFG_SPLASH_UNTIL_WINDOW
    prepareLauncher();
    ASSERT_TRUE(stampBitmap(exePath(), makeBitmapFile(40, 30)));
    std::wstring temp = joinPath(testDir, L"temp");
    ASSERT_TRUE(makeDirectories(temp));
    environment[L"TMP"] = environment[L"TEMP"] = temp;
    environment[L"QDTEST_COPY_EXIT"] = L"0xC0000135";
    std::wstring shown = joinPath(testDir, L"shown.flag");
    std::wstring release = joinPath(testDir, L"release.flag");
    childActions("stdout started\nwindow Application\ntouch " + narrow(shown) + "\nwait-file " + narrow(release) +
                 "\nexit 7\n");
    bool splashSeen = false;
    bool splashGone = false;
    whileRunning = [&](DWORD pid) {
        if (!fileExists(shown)) {
            splashSeen = splashSeen || splashVisible(pid);
        } else if (!splashGone) {
            // The splash watches the program that now runs, and goes at its window.
            splashGone = waitUntil([&] { return !splashVisible(pid); }, 5000);
            writeFileBytes(release, "");
        }
    };
    RunResult run = launch(L"--qd-debug --qd-stdout");

    EXPECT_EQ(7u, run.exitCode);
    EXPECT_EQ(plainLauncher(), child().value(L"exe"));
    EXPECT_TRUE(splashSeen);
    EXPECT_TRUE(splashGone);
    std::vector<std::wstring> captured = listFiles(temp + L"\\*");
    ASSERT_EQ(1u, captured.size()) << "the refused copy's empty capture files are gone";
    EXPECT_EQ(0u, captured[0].find(L"QO_"));
    EXPECT_EQ("started\n", readFileBytes(joinPath(temp, captured[0])));
    // Output and exit code 7 within seconds: a failed start of the program that ran.
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_NE(std::wstring::npos, run.dialogs[0].text.find(joinPath(temp, captured[0]))) << narrow(run.dialogs[0].text);
    std::string log = logBytes();
    EXPECT_NE(std::string::npos,
              log.find("\r\nExit code:\t-1073741515\r\nLoad failed:\t" + narrow(privateCopy) + "\r\n"))
        << log;
}

} // namespace

namespace {

TEST_F(PrivateLauncherTest, ReadOnlyRuntimeFolderFallsBackToThePlainLauncher) {
    ASSERT_TRUE(SetFileAttributesW(bin.c_str(), FILE_ATTRIBUTE_READONLY));
    std::wstring probe = bin + L"\\probe-dir";
    bool writable = CreateDirectoryW(probe.c_str(), nullptr) != 0;
    if (writable) {
        RemoveDirectoryW(probe.c_str());
        SetFileAttributesW(bin.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "read-only folders are writable for this user here (Wine running as root)";
    }
    RunResult run = launch();
    SetFileAttributesW(bin.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty()) << "the private launcher never makes the launch fail";
    EXPECT_EQ(plainLauncher(), child().value(L"exe"));
}

} // namespace
