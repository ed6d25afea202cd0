// What the child writes to its outputs, as the launcher keeps and reports it.
#include "launcher_fixture.h"

#include <algorithm>
#include <set>

using namespace e2e;

namespace {

// The sentence right after the file names; the requirements page and the
// contact end the report only when the application's records give them.
const std::wstring SUPPORT_NOTICE = L"\nContains additional information about the process execution.";
const std::wstring STARTUP_ERROR = L"An error occurred while starting the application.";

class CaptureTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        installRuntime();
        before = captureFiles();
    }
    std::set<std::wstring> captureFiles() const {
        std::set<std::wstring> files;
        for (const wchar_t* pattern : {L"QD_*.tmp", L"QO_*.tmp"}) {
            for (const std::wstring& name : listFiles(tempDirectory() + pattern)) files.insert(tempDirectory() + name);
        }
        return files;
    }
    std::vector<std::wstring> newCaptureFiles() const {
        std::vector<std::wstring> added;
        for (const std::wstring& f : captureFiles()) {
            if (!before.count(f)) added.push_back(f);
        }
        return added;
    }
    std::set<std::wstring> before;
};

TEST_F(CaptureTest, QuickFailureShowsTheErrorOutputAndOnlyTheAddressesStamped) {
    const std::string error = "Error: Could not find or load main class com.example.Main\n"
                              "Caused by: java.lang.ClassNotFoundException: com.example.Main\n";
    const struct {
        const wchar_t* requirementsUrl; // nullptr: record 34 absent
        const wchar_t* contact;         // nullptr: record 35 absent
        std::wstring support;
    } cases[] = {
        {nullptr, nullptr, L""},
        {L"https://example.com/myapp/requirements", L"help@example.com",
         L"\n\nMake sure your computer meets the minimum requirements"
         L"\nhttps://example.com/myapp/requirements"
         L"\nContact help@example.com for further information."},
    };
    for (const auto& c : cases) {
        SetUp();
        if (c.requirementsUrl) records[34] = c.requirementsUrl;
        if (c.contact) records[35] = c.contact;
        childActions("stderr Error: Could not find or load main class com.example.Main\n"
                     "stderr Caused by: java.lang.ClassNotFoundException: com.example.Main\nexit 1\n");
        RunResult run = launch();

        EXPECT_EQ(1u, run.exitCode) << "the child's exit code is returned after the report";
        std::vector<std::wstring> files = newCaptureFiles();
        ASSERT_EQ(1u, files.size());
        std::wstring path = files[0];
        EXPECT_EQ(0u, path.rfind(tempDirectory() + L"QD_", 0));
        EXPECT_EQ(error, readFileBytes(path));
        ASSERT_EQ(1u, run.dialogs.size());
        EXPECT_EQ(STARTUP_ERROR + L"\n" + path + SUPPORT_NOTICE +
                      L"\n\nError: Could not find or load main class com.example.Main"
                      L"\nCaused by: java.lang.ClassNotFoundException: com.example.Main" +
                      c.support,
                  run.dialogs[0].text);
        EXPECT_EQ(L"QDLauncher", run.dialogs[0].title);
        if (!c.contact) {
            EXPECT_EQ(std::wstring::npos, run.dialogs[0].text.find(L"http")) << "no address of anyone's";
            EXPECT_EQ(std::wstring::npos, run.dialogs[0].text.find(L"@"));
        }
    }
}

TEST_F(CaptureTest, ApplicationEndingWithZeroIsNoFailureWhateverItWrote) {
    const std::string warning = "WARNING: A restricted method in java.lang.System has been called\n";
    const struct {
        std::string actions;
        std::string kept; // the error-output file left behind; empty: none
    } cases[] = {
        {"exit 0\n", ""},
        // Java 17 and later warn at start-up; the user may close the application at once.
        {"stderr " + warning + "exit 0\n", warning},
    };
    for (const auto& c : cases) {
        SetUp();
        childActions(c.actions);
        RunResult run = launch();

        EXPECT_EQ(0u, run.exitCode);
        EXPECT_TRUE(run.dialogs.empty());
        std::vector<std::wstring> files = newCaptureFiles();
        ASSERT_EQ(c.kept.empty() ? 0u : 1u, files.size());
        if (!c.kept.empty()) EXPECT_EQ(c.kept, readFileBytes(files[0]));
    }
}

TEST_F(CaptureTest, StandardOutputIsCapturedOnRequestAndNamedFirst) {
    childActions("stdout hello out\nstderr hello err\nexit 1\n");
    RunResult run = launch(L"--qd-stdout");

    std::vector<std::wstring> files = newCaptureFiles();
    ASSERT_EQ(2u, files.size());
    std::wstring err = files[0].find(L"\\QD_") != std::wstring::npos ? files[0] : files[1];
    std::wstring out = files[0].find(L"\\QO_") != std::wstring::npos ? files[0] : files[1];
    EXPECT_EQ("hello err\n", readFileBytes(err));
    EXPECT_EQ("hello out\n", readFileBytes(out));
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(STARTUP_ERROR + L"\n" + out + L"\nAnd file\n" + err + SUPPORT_NOTICE + L"\n\nhello err",
              run.dialogs[0].text);
    ChildRecord received = child();
    EXPECT_EQ(L"pipe", received.value(L"stdout"));
}

TEST_F(CaptureTest, StandardOutputSwitchInsideAnotherWordStillCounts) {
    childActions("stdout only out\nexit 1\n");
    RunResult run = launch(L"x--qd-stdoutx");
    std::vector<std::wstring> files = newCaptureFiles();
    ASSERT_EQ(1u, files.size()) << "the empty error-output file is deleted";
    EXPECT_NE(std::wstring::npos, files[0].find(L"\\QO_"));
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(STARTUP_ERROR + L"\n" + files[0] + SUPPORT_NOTICE, run.dialogs[0].text);
}

TEST_F(CaptureTest, EmptyStandardOutputFileStays) {
    childActions("exit 0\n");
    RunResult run = launch(L"--qd-stdout");
    EXPECT_TRUE(run.dialogs.empty());
    std::vector<std::wstring> files = newCaptureFiles();
    ASSERT_EQ(1u, files.size());
    EXPECT_NE(std::wstring::npos, files[0].find(L"\\QO_"));
    EXPECT_EQ("", readFileBytes(files[0]));
}

TEST_F(CaptureTest, QuickFailureReportClosesTheLogAfterTheFirstExitLine) {
    childActions("stderr boom\nexit 5\n");
    launch(L"--qd-debug");
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("Exit code:\t5\r\n"));
    size_t first = log.find("Exit code:");
    EXPECT_EQ(std::string::npos, log.find("Exit code:", first + 1)) << "the report closed the log";
}

TEST_F(CaptureTest, LargeOutputIsCopiedByteForByte) {
    childActions("stderr-bytes 3000000\nexit 1\n");
    RunResult run = launch();
    std::vector<std::wstring> files = newCaptureFiles();
    ASSERT_EQ(1u, files.size());
    std::string bytes = readFileBytes(files[0]);
    EXPECT_EQ(3000000u, bytes.size());
    EXPECT_EQ(std::string::npos, bytes.find_first_not_of('x'));
    EXPECT_EQ(1u, run.dialogs.size());
}

TEST_F(CaptureTest, ChildNeverBlocksWhenTheCaptureFileCannotBeMade) {
    // No usable temporary directory: the capture thread cannot set up its
    // file, yet it keeps draining the pipe so the child's writes complete.
    environment[L"TMP"] = testDir + L"\\no-such-dir";
    environment[L"TEMP"] = testDir + L"\\no-such-dir";
    childActions("stderr-bytes 2000000\nexit 4\n");
    RunResult run = launch(L"", pressOk, 30000);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(4u, run.exitCode);
}

} // namespace
