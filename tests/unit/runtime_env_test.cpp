#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "launch/launch_sequence.h"
#include "log_capture.h"
#include "runtime/private_launcher.h"
#include "runtime/runtime_env.h"
#include "scratch_files.h"

namespace {

std::string latin1(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(VariableItems, TabsSeparateItemsAndGiveNoEmptyOnes) {
    struct Row {
        const wchar_t* text;
        std::vector<std::wstring> items;
    };
    const Row rows[] = {
        {L"A=1\tB=%A%;x", {L"A=1", L"B=%A%;x"}},
        {L"\t\tA=1\t\t\tB=2\t", {L"A=1", L"B=2"}},
        {L"", {}},
        {L"\t\t", {}},
        {L"single", {L"single"}},
        {L"A= spaced value \t=x", {L"A= spaced value ", L"=x"}},
    };
    for (const Row& row : rows) {
        std::vector<std::wstring> items;
        const wchar_t* cursor = row.text;
        const wchar_t* item = nullptr;
        size_t length = 0;
        while (nextVariableItem(&cursor, &item, &length)) {
            items.emplace_back(item, length);
            ASSERT_LE(items.size(), 10u) << "the scan must end";
        }
        EXPECT_EQ(row.items, items) << latin1(row.text);
    }
}

TEST(VariableItems, NameEndsAtTheFirstEqualsSign) {
    struct Row {
        const wchar_t* item;
        bool ok;
        std::wstring name;
        std::wstring value;
    };
    const Row rows[] = {
        {L"A=1", true, L"A", L"1"},
        {L"JAVA_TOOL_OPTIONS=-Da=b -Dc=d", true, L"JAVA_TOOL_OPTIONS", L"-Da=b -Dc=d"},
        {L"EMPTY=", true, L"EMPTY", L""},
        {L"=value", true, L"", L"value"},
        {L"NO_EQUALS", false, L"", L""},
        {L"", false, L"", L""},
    };
    for (const Row& row : rows) {
        VariableItem parts = {};
        std::wstring item = row.item;
        ASSERT_EQ(row.ok, splitVariableItem(item.c_str(), item.size(), &parts)) << latin1(row.item);
        if (!row.ok) continue;
        EXPECT_EQ(row.name, std::wstring(parts.name, parts.nameLength));
        EXPECT_EQ(row.value, std::wstring(parts.rawValue, parts.rawValueLength));
    }
}

TEST(PriorityClass, OnlyOnePriorityClassReachesTheChild) {
    struct Row {
        int configured;
        DWORD flags;
    };
    const Row rows[] = {
        {32, NORMAL_PRIORITY_CLASS},
        {16384, BELOW_NORMAL_PRIORITY_CLASS},
        {0, 0},
        {CREATE_SUSPENDED, 0},
        {DEBUG_PROCESS, 0},
        {HIGH_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_NEW_CONSOLE, HIGH_PRIORITY_CLASS},
        {NORMAL_PRIORITY_CLASS | IDLE_PRIORITY_CLASS, 0}, // two classes: the system's default
        {-1, 0},
    };
    for (const Row& row : rows) EXPECT_EQ(row.flags, priorityClassFlags(row.configured)) << row.configured;
}

std::wstring environmentValue(const wchar_t* name) {
    static wchar_t buffer[32767];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32767);
    return n == 0 || n >= 32767 ? L"" : std::wstring(buffer, n);
}

class PathExtensionTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        hadPath = GetEnvironmentVariableW(L"Path", nullptr, 0) != 0;
        savedPath = environmentValue(L"Path");
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"Path", hadPath ? savedPath.c_str() : nullptr);
        resetLaunchState();
    }
    bool hadPath = false;
    std::wstring savedPath;
};

TEST_F(PathExtensionTest, AppendsSeparatorAndDirectory) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"Path", L"C:\\windows"));
    EXPECT_EQ(1, appendToPath(L"D:\\Apps\\Tool\\jvm\\bin"));
    EXPECT_EQ(L"C:\\windows;D:\\Apps\\Tool\\jvm\\bin", environmentValue(L"Path"));
}

TEST_F(PathExtensionTest, UndefinedPathBecomesSeparatorAndDirectory) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"Path", nullptr));
    EXPECT_EQ(1, appendToPath(L"D:\\jvm\\bin"));
    EXPECT_EQ(L";D:\\jvm\\bin", environmentValue(L"Path"));
}

TEST_F(PathExtensionTest, ValueBeyondTheLimitIsRefusedAndPathKept) {
    const std::wstring dir = L"D:\\jvm\\bin"; // 10 characters
    // 32766 characters in all still fit; one more does not.
    std::wstring fits(32766 - 1 - dir.size(), L'p');
    ASSERT_TRUE(SetEnvironmentVariableW(L"Path", fits.c_str()));
    EXPECT_EQ(1, appendToPath(dir.c_str()));
    EXPECT_EQ(fits + L";" + dir, environmentValue(L"Path"));

    std::wstring tooLong(32766 - dir.size(), L'p');
    ASSERT_TRUE(SetEnvironmentVariableW(L"Path", tooLong.c_str()));
    copyText(messageText, MESSAGE_CAPACITY, L"Start failed.");
    EXPECT_EQ(0, appendToPath(dir.c_str()));
    EXPECT_EQ(tooLong, environmentValue(L"Path"));
    EXPECT_EQ(0u, std::wstring(messageText).find(L"Start failed.\n\nThe Path environment variable is too long"));
}

// Private launcher copies in a runtime folder of the test's own, with the
// stand-in runtime's program as its launcher.
class PrivateLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        home = scratchDir / L"jre";
        ASSERT_TRUE(e2e::makeDirectories(home + L"\\bin"));
        ASSERT_TRUE(CopyFileW(e2e::fakeRuntimePath().c_str(), plainLauncher().c_str(), FALSE));
        runtimeBytes = scratch::readBytes(plainLauncher());
        ASSERT_TRUE(e2e::makeDirectories(scratchDir / L"app"));
        setExe(scratchDir / L"app\\tool.exe");
        privateDir = home + L"\\qd-launch-tmp";
        copy = privateDir + L"\\tool.exe";
    }
    void TearDown() override {
        releasePrivateLauncher();
        resetLaunchState();
    }

    void setExe(const std::wstring& path) {
        copyText(exePath, PATH_CAPACITY, path.c_str());
        exeDirLen = path.rfind(L'\\');
    }
    // Runs the step with runtimeHome = home and returns the log.
    std::string prepare(bool usePrivate, bool* ok = nullptr) {
        copyText(runtimeHome, PATH_CAPACITY, home.c_str());
        LogCapture log;
        SetLastError(errorBeforeStep);
        bool result = preparePrivateLauncher(usePrivate, exePath, exeDirLen);
        failureAfterStep = failureCode;
        if (ok != nullptr) *ok = result;
        return log.bytes();
    }
    std::wstring plainLauncher() const { return home + L"\\bin\\javaw.exe"; }
    std::string copyLine(const std::wstring& from, const std::wstring& to) const {
        return "Copy:\t\t" + latin1(from) + " -> " + latin1(to) + "\r\n";
    }
    static bool exists(const std::wstring& path) { return e2e::fileExists(path); }

    scratch::ScratchDir scratchDir;
    std::wstring home;
    std::wstring privateDir;
    std::wstring copy;
    std::string runtimeBytes;
    DWORD errorBeforeStep = 0;
    DWORD failureAfterStep = 0;
};

TEST_F(PrivateLauncherTest, WithoutPrivateLauncherThePlainOneIsUsedAndNothingTouched) {
    bool ok = false;
    EXPECT_EQ("", prepare(false, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(plainLauncher(), std::wstring(launcherPath));
    EXPECT_FALSE(exists(privateDir));
}

TEST_F(PrivateLauncherTest, FirstRunCreatesTheFolderAndCopiesTheLauncher) {
    std::string log = prepare(true);
    EXPECT_EQ(copy, std::wstring(launcherPath));
    EXPECT_EQ(runtimeBytes, scratch::readBytes(copy));
    EXPECT_EQ(copyLine(plainLauncher(), copy), log)
        << "no manifest next to the executable and no DLL of the runtime's own: only the launcher is copied";
    EXPECT_EQ(std::vector<std::wstring>{L"tool.exe"}, e2e::listFiles(privateDir + L"\\*"))
        << "no temporary file is left behind";
}

TEST_F(PrivateLauncherTest, LaterRunCleansOtherCopiesAndReplacesAStaleOwnCopy) {
    ASSERT_TRUE(CreateDirectoryW(privateDir.c_str(), nullptr));
    std::wstring dir = privateDir + L"\\";
    ASSERT_TRUE(scratch::writeBytes(dir + L"old-name.exe", "stale"));
    ASSERT_TRUE(scratch::writeBytes(dir + L"old-name.exe.manifest", "stale manifest"));
    ASSERT_TRUE(scratch::writeBytes(copy, "previous copy"));
    ASSERT_TRUE(scratch::writeBytes(dir + L"orphan.manifest", "kept"));
    ASSERT_TRUE(scratch::writeBytes(dir + L"notes.txt", "kept"));
    ASSERT_TRUE(scratch::writeBytes(dir + L"backup.exe1", "kept"));
    ASSERT_TRUE(CreateDirectoryW((dir + L"folder.exe").c_str(), nullptr));
    std::wstring manifest = std::wstring(exePath) + L".manifest";
    ASSERT_TRUE(scratch::writeBytes(manifest, "<assembly/>"));

    std::string log = prepare(true);
    EXPECT_EQ("Unlink:\t\t" + latin1(dir) + "old-name.exe\r\n"
              "Unlink:\t\t" + latin1(dir) + "old-name.exe.manifest\r\n" +
              copyLine(manifest, copy + L".manifest") + copyLine(plainLauncher(), copy),
              log);
    EXPECT_FALSE(exists(dir + L"old-name.exe"));
    EXPECT_FALSE(exists(dir + L"old-name.exe.manifest"));
    EXPECT_TRUE(exists(dir + L"orphan.manifest")) << "manifests without a program stay";
    EXPECT_TRUE(exists(dir + L"notes.txt"));
    EXPECT_TRUE(exists(dir + L"backup.exe1")) << "only names that really end in .exe";
    EXPECT_TRUE(exists(dir + L"folder.exe")) << "only files are removed";
    EXPECT_EQ("<assembly/>", scratch::readBytes(copy + L".manifest"));
    EXPECT_EQ(runtimeBytes, scratch::readBytes(copy));
    EXPECT_EQ(copy, std::wstring(launcherPath));
}

TEST_F(PrivateLauncherTest, CopyIsReusedOnlyWithTheSameContent) {
    ASSERT_TRUE(CreateDirectoryW(privateDir.c_str(), nullptr));
    std::string sameSize = runtimeBytes;
    sameSize[sameSize.size() / 2] ^= 0x5A;
    struct Row {
        const char* what;
        std::string content;
        bool heldOpen; // by a reader, as a running program is: it cannot be deleted or replaced
        bool runsThePrivateCopy;
        std::string contentAfter;
    };
    const Row rows[] = {
        {"the same program, in use", runtimeBytes, true, true, runtimeBytes},
        {"the same program", runtimeBytes, false, true, runtimeBytes},
        {"another program of the same size, in use", sameSize, true, false, sameSize},
        {"another program of the same size", sameSize, false, true, runtimeBytes},
    };
    for (const Row& row : rows) {
        releasePrivateLauncher();
        ASSERT_TRUE(scratch::writeBytes(copy, row.content));
        HANDLE reader = row.heldOpen ? CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, 0, nullptr)
                                     : INVALID_HANDLE_VALUE;
        errorBeforeStep = ERROR_FILE_NOT_FOUND;
        std::string log = prepare(true);
        if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);

        EXPECT_EQ(0u, failureAfterStep) << row.what << ": reusing or falling back is no failure of the launch";
        std::wstring expected = row.runsThePrivateCopy ? copy : plainLauncher();
        EXPECT_EQ(expected, std::wstring(launcherPath)) << row.what;
        EXPECT_EQ(row.content == runtimeBytes, log.find("Reusing:\t\t" + latin1(copy) + "\r\n") != std::string::npos)
            << row.what << "\n" << log;
        releasePrivateLauncher();
        EXPECT_EQ(row.contentAfter, scratch::readBytes(copy)) << row.what;
    }
}

TEST_F(PrivateLauncherTest, CopyThatCannotBeStartedGivesWayToThePlainLauncher) {
    prepare(true);
    ASSERT_EQ(copy, std::wstring(launcherPath));
    // Stands in for a private copy that the system refuses to start.
    std::wstring unstartable = privateDir + L"\\missing.exe";
    copyText(launcherPath, PATH_CAPACITY, unstartable.c_str());
    LogCapture log;
    ASSERT_EQ(0, startChild());
    EXPECT_EQ(plainLauncher(), std::wstring(launcherPath));
    EXPECT_EQ("Start failed:\t" + latin1(unstartable) + "\r\n", log.bytes());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 20000));
    releaseChild();
    EXPECT_TRUE(DeleteFileW(copy.c_str())) << "the copy is let go once a child has started";
}

// A symbolic link made by the system's own ln, reachable only under Wine (whose
// Win32 calls make neither junctions nor symbolic links). Wine shows it as a
// reparse point by name, the way Windows shows a junction.
bool makeLinkUnderWine(const std::wstring& link, const std::wstring& target) {
    typedef char*(CDECL * UnixNameCall)(const wchar_t*);
    UnixNameCall unixName = reinterpret_cast<UnixNameCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return false;
    char* linkName = unixName(link.c_str());
    char* targetName = unixName(target.c_str());
    std::wstring commandLine;
    if (linkName != nullptr && targetName != nullptr) {
        commandLine = L"/bin/ln -s \"" + e2e::widen(targetName) + L"\" \"" + e2e::widen(linkName) + L"\"";
    }
    HeapFree(GetProcessHeap(), 0, linkName);
    HeapFree(GetProcessHeap(), 0, targetName);
    if (commandLine.empty()) return false;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\ln", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The handle of a Unix program does not tell when it has ended: wait for its work.
    return e2e::waitUntil(
        [&] {
            DWORD attributes = GetFileAttributesW(link.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        },
        10000);
}

TEST_F(PrivateLauncherTest, LinkedFolderIsNeitherCleanedNorUsed) {
    std::wstring elsewhere = scratchDir / L"elsewhere";
    ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(scratch::writeBytes(elsewhere + L"\\precious.exe", "someone else's program"));
    if (!makeLinkUnderWine(privateDir, elsewhere)) GTEST_SKIP() << "no way to make a folder link here";

    bool ok = false;
    std::string log = prepare(true, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(plainLauncher(), std::wstring(launcherPath));
    EXPECT_EQ("Not a folder:\t" + latin1(privateDir) + "\r\n", log);
    EXPECT_EQ(std::vector<std::wstring>{L"precious.exe"}, e2e::listFiles(elsewhere + L"\\*"));
    RemoveDirectoryW(privateDir.c_str());
    DeleteFileW(privateDir.c_str());
}

TEST_F(PrivateLauncherTest, FolderThatCannotBeCreatedGivesThePlainLauncher) {
    home = scratchDir / L"missing-parent\\jre"; // its parent does not exist
    std::string log = prepare(true);
    EXPECT_EQ("Mkdir failed:\t" + latin1(home) + "\\qd-launch-tmp\r\n", log);
    EXPECT_EQ(home + L"\\bin\\javaw.exe", std::wstring(launcherPath));
}

TEST_F(PrivateLauncherTest, MissingSourceLauncherGivesThePlainLauncher) {
    DeleteFileW(plainLauncher().c_str());
    prepare(true);
    EXPECT_EQ(plainLauncher(), std::wstring(launcherPath));
}

TEST_F(PrivateLauncherTest, OverlongPrivatePathFallsBackWithoutTouchingTheDisk) {
    // The home and its launcher fit; the private copy's manifest would not.
    const size_t homeRoom = PATH_CAPACITY - 1 - std::wstring(L"\\bin\\javaw.exe").size();
    home = L"C:\\" + std::wstring(homeRoom - 3, L'h');
    ASSERT_EQ(PATH_CAPACITY - 1, home.size() + 14);
    bool ok = false;
    std::string log = prepare(true, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ("", log);
    EXPECT_EQ(home + L"\\bin\\javaw.exe", std::wstring(launcherPath));
}

TEST_F(PrivateLauncherTest, PlainLauncherThatDoesNotFitIsRefused) {
    home = L"C:\\" + std::wstring(250, L'h');
    copyText(messageText, MESSAGE_CAPACITY, L"Start failed.");
    bool ok = true;
    prepare(false, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(0u, std::wstring(messageText).find(L"Start failed.\n\nThe path of the Java runtime's launcher"));
}

} // namespace
