// A later start of a single-instance application that forwards its starts
// (CFG_FORWARD_ARGUMENTS): its working directory and arguments reach the
// running application as one line on its standard input, and the later start
// ends with 0; when they cannot be handed over it ends with 2, as without the
// record.
#include "launcher_fixture.h"

#include <sddl.h>

#include <algorithm>

using namespace e2e;

namespace {

class ForwardingTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        installRuntime();
        static int names = 0;
        // A namespace and a percent sign: both are written differently in the pipe's name.
        records[23] = L"Local\\QdTestForward%" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++names);
        records[37] = L"true";
    }

    std::wstring linesPath() const { return joinPath(testDir, L"lines.txt"); }
    std::wstring readPath() const { return joinPath(testDir, L"read.flag"); }

    // Starts `exe` (the configured launcher unless given) in the background as
    // the running instance with `arguments`. Its child, once readPath() exists
    // (at once when `readAtOnce`), copies its input to linesPath(), or never
    // reads it when `reads` is false, and ends when released, with 5.
    void startRunningInstance(bool reads = true, bool readAtOnce = true, const std::wstring& exe = L"",
                              const std::wstring& arguments = L"") {
        std::string reading;
        if (reads) {
            if (!readAtOnce) reading += "wait-file " + narrow(readPath()) + "\n";
            reading += "stdin-to-file " + narrow(linesPath()) + "\n";
        }
        childRunsUntilReleased(reading, "exit 5\n");
        startInBackground(arguments, exe);
    }

    // A later start from `directory`.
    RunResult startAgain(const std::wstring& arguments, const std::wstring& directory) {
        RunResult run = runProgram(exePath(), arguments, directory, environment, pressOk, 20000);
        EXPECT_TRUE(run.finished);
        return run;
    }

    // The lines the application read once there are `count`, each split into
    // its fields and decoded as Java's URLDecoder does.
    std::vector<std::vector<std::wstring>> receivedLines(size_t count) {
        std::string bytes;
        waitUntil([&] {
            bytes = readFileBytes(linesPath());
            return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) >= count;
        }, 20000);
        std::vector<std::vector<std::wstring>> lines(1);
        std::string field;
        for (size_t i = 0; i < bytes.size(); ++i) {
            char c = bytes[i];
            if (c == '%') {
                field.push_back(static_cast<char>(std::stoi(bytes.substr(i + 1, 2), nullptr, 16)));
                i += 2;
            } else if (c == '\t' || c == '\n') {
                lines.back().push_back(widen(field));
                field.clear();
                if (c == '\n') lines.emplace_back();
            } else {
                field.push_back(c == '+' ? ' ' : c);
            }
        }
        lines.pop_back();
        return lines;
    }
};

TEST_F(ForwardingTest, LaterStartHandsItsFolderAndArgumentsToTheRunningApplicationExactly) {
    startRunningInstance();
    EXPECT_EQ(L"pipe", child().value(L"stdin"));
    std::wstring documents = joinPath(testDir, L"Dokumente \u00FC");
    ASSERT_TRUE(makeDirectories(documents));
    RunResult later = startAgain(L"\"C:\\My Docs\\a b.txt\" \"say \\\"hi\\\"\" \"tab\there\" 100% a+b \"\" "
                                 L"--qd-debug \u00E9t\u00E9 \u65E5\u672C\U0001F600 C:\\dir\\",
                                 documents);

    EXPECT_EQ(0u, later.exitCode);
    std::vector<std::vector<std::wstring>> lines = receivedLines(1);
    ASSERT_EQ(1u, lines.size());
    std::vector<std::wstring> expected = {documents,  L"C:\\My Docs\\a b.txt",
                                          L"say \"hi\"", L"tab\there",
                                          L"100%",      L"a+b",
                                          L"",          L"\u00E9t\u00E9",
                                          L"\u65E5\u672C\U0001F600", L"C:\\dir\\"};
    EXPECT_EQ(expected, lines[0]);
    EXPECT_NE(std::string::npos, logBytes().find("Instance already exists.\r\nForwarded to:\tprocess " +
                                                 narrow(child().value(L"pid")) + "\r\n"))
        << logBytes();
}

TEST_F(ForwardingTest, StartsMadeWhileTheApplicationDoesNotReadArriveInTheirOrder) {
    startRunningInstance(true, false);
    // The first without arguments: its line is the working directory alone.
    EXPECT_EQ(0u, startAgain(L"", appDir).exitCode);
    for (int i = 1; i < 10; ++i) EXPECT_EQ(0u, startAgain(L"start" + std::to_wstring(i), testDir).exitCode) << i;
    writeFileBytes(readPath(), "");

    std::vector<std::vector<std::wstring>> lines = receivedLines(10);
    ASSERT_EQ(10u, lines.size());
    EXPECT_EQ(std::vector<std::wstring>{appDir}, lines[0]);
    for (int i = 1; i < 10; ++i) {
        std::vector<std::wstring> expected = {testDir, L"start" + std::to_wstring(i)};
        EXPECT_EQ(expected, lines[i]);
    }
}

TEST_F(ForwardingTest, ApplicationThatNeverReadsLeavesLaterStartsAnsweredAndItsLauncherResponsive) {
    startRunningInstance(false);
    // Large starts fill the pipe and then the queue; once it is full, a
    // start is refused at once and ends with 2.
    std::wstring large(30000, L'x');
    RunResult refused;
    int accepted = 0;
    for (int i = 0; i < 12 && refused.exitCode != 2; ++i) {
        RunResult later = startAgain(large + L" --qd-debug", testDir);
        if (later.exitCode == 0) ++accepted;
        else refused = later;
    }
    EXPECT_GE(accepted, 4) << "the queue holds at least four such starts";
    EXPECT_EQ(2u, refused.exitCode);
    EXPECT_NE(std::string::npos, logBytes().find("Not forwarded:\tqueue full (the application does not read)"));

    // The running launcher still follows its child at once.
    EXPECT_EQ(5u, releaseBackground());
}

TEST_F(ForwardingTest, RunningInstanceWithoutTheRecordLeavesALaterStartWithExitTwo) {
    // The same application before it forwarded: a launcher without record 37.
    e2e::Records older = records;
    older.erase(37);
    std::wstring olderLauncher = joinPath(appDir, L"tool-1.0.exe");
    ASSERT_TRUE(CopyFileW(bareLauncherPath().c_str(), olderLauncher.c_str(), FALSE));
    ASSERT_TRUE(stampRecords(olderLauncher, older));
    startRunningInstance(true, true, olderLauncher);
    EXPECT_EQ(L"none", child().value(L"stdin"));

    RunResult later = startAgain(L"--qd-debug report.xml", testDir);
    EXPECT_EQ(2u, later.exitCode);
    EXPECT_NE(std::string::npos, logBytes().find("Instance already exists.\r\nNot forwarded:\tthe running instance "
                                                 "does not forward (error 0)\r\n"))
        << logBytes();
}

TEST_F(ForwardingTest, PipeOfTheNameMadeByAnotherUserNeitherTakesNorGetsStarts) {
    // The name the running launcher would use, made first, and owned by another
    // user (the administrators): the launcher goes on without forwarding, and a
    // later start does not hand its arguments to that pipe.
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    std::wstring name = L"\\\\.\\pipe\\qdlauncher-forward-" + std::to_wstring(session) + L"-";
    for (wchar_t c : records[23]) name += c == L'\\' ? L"%5C" : c == L'%' ? L"%25" : std::wstring(1, c);
    PSECURITY_DESCRIPTOR foreign = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:(A;;GA;;;WD)", 1, &foreign, nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, foreign, FALSE};
    HANDLE squatter = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1, 4096, 4096, 0, &attributes);
    LocalFree(foreign);
    ASSERT_NE(INVALID_HANDLE_VALUE, squatter);
    startRunningInstance(true, true, L"", L"--qd-debug");
    EXPECT_EQ(L"none", child().value(L"stdin")) << "no forwarding without its endpoint";

    // A copy elsewhere writes a log of its own (the running launcher holds its log open).
    std::wstring elsewhere = joinPath(testDir, L"elsewhere");
    ASSERT_TRUE(makeDirectories(elsewhere));
    ASSERT_TRUE(CopyFileW(exePath().c_str(), joinPath(elsewhere, exeName).c_str(), FALSE));
    RunResult later = runProgram(joinPath(elsewhere, exeName), L"--qd-debug secret.txt", testDir, environment, pressOk,
                                 20000);
    CloseHandle(squatter);
    EXPECT_EQ(2u, later.exitCode);
    std::string laterLog = readFileBytes(joinPath(elsewhere, L"qd-launch.log"));
    EXPECT_NE(std::string::npos, laterLog.find("Not forwarded:\tthe pipe is not this user's")) << laterLog;

    releaseBackground();
    EXPECT_NE(std::string::npos, logBytes().find("\r\nForwarding off:\tits name is taken (error "))
        << logBytes();
}

} // namespace
