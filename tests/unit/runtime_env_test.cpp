#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/bounded_text.h"
#include "launch/launch_state.h"
#include "log_capture.h"
#include "runtime/runtime_env.h"

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

// Private launcher copies in a runtime folder of the test's own.
class PrivateLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"qdu-private";
        removeTree(root);
        ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
        home = root + L"\\jre";
        CreateDirectoryW(home.c_str(), nullptr);
        CreateDirectoryW((home + L"\\bin").c_str(), nullptr);
        ASSERT_TRUE(writeFile(home + L"\\bin\\javaw.exe", "launcher program bytes"));
        CreateDirectoryW((root + L"\\app").c_str(), nullptr);
        setExe(root + L"\\app\\tool.exe");
        privateDir = home + L"\\qd-launch-tmp";
    }
    void TearDown() override {
        removeTree(root);
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
        errorAfterStep = GetLastError();
        if (ok != nullptr) *ok = result;
        return log.bytes();
    }
    std::wstring plainLauncher() const { return home + L"\\bin\\javaw.exe"; }

    static bool writeFile(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == bytes.size();
    }
    static std::string readFile(const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        char buffer[4096];
        DWORD got = 0;
        ReadFile(file, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(file);
        return std::string(buffer, got);
    }
    static bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static void removeTree(const std::wstring& path) {
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring child = path + L"\\" + name;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeTree(child);
                } else {
                    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    }

    std::wstring root;
    std::wstring home;
    std::wstring privateDir;
    DWORD errorBeforeStep = 0;
    DWORD errorAfterStep = 0;
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
    std::wstring copy = privateDir + L"\\tool.exe";
    EXPECT_EQ(copy, std::wstring(launcherPath));
    EXPECT_EQ("launcher program bytes", readFile(copy));
    EXPECT_EQ("Copy:\t\t" + latin1(plainLauncher()) + " -> " + latin1(copy) + "\r\n", log)
        << "no manifest next to the executable: only the launcher is copied";
}

TEST_F(PrivateLauncherTest, LaterRunCleansStaleCopiesAndCopiesTheManifest) {
    ASSERT_TRUE(CreateDirectoryW(privateDir.c_str(), nullptr));
    ASSERT_TRUE(writeFile(privateDir + L"\\old-name.exe", "stale"));
    ASSERT_TRUE(writeFile(privateDir + L"\\old-name.exe.manifest", "stale manifest"));
    ASSERT_TRUE(writeFile(privateDir + L"\\tool.exe", "previous copy"));
    ASSERT_TRUE(writeFile(privateDir + L"\\orphan.manifest", "kept"));
    ASSERT_TRUE(writeFile(privateDir + L"\\notes.txt", "kept"));
    ASSERT_TRUE(writeFile(privateDir + L"\\backup.exe1", "kept"));
    ASSERT_TRUE(CreateDirectoryW((privateDir + L"\\folder.exe").c_str(), nullptr));
    ASSERT_TRUE(writeFile(std::wstring(exePath) + L".manifest", "<assembly/>"));

    std::string log = prepare(true);
    std::wstring dir = privateDir + L"\\";
    std::wstring copy = dir + L"tool.exe";
    std::wstring manifest = std::wstring(exePath) + L".manifest";
    EXPECT_EQ("Unlink:\t\t" + latin1(dir) + "old-name.exe\r\n"
              "Unlink:\t\t" + latin1(dir) + "old-name.exe.manifest\r\n"
              "Unlink:\t\t" + latin1(dir) + "tool.exe\r\n"
              "Unlink:\t\t" + latin1(dir) + "tool.exe.manifest\r\n"
              "Copy:\t\t" + latin1(manifest) + " -> " + latin1(copy) + ".manifest\r\n"
              "Copy:\t\t" + latin1(plainLauncher()) + " -> " + latin1(copy) + "\r\n",
              log);
    EXPECT_FALSE(exists(dir + L"old-name.exe"));
    EXPECT_FALSE(exists(dir + L"old-name.exe.manifest"));
    EXPECT_TRUE(exists(dir + L"orphan.manifest")) << "manifests without a program stay";
    EXPECT_TRUE(exists(dir + L"notes.txt"));
    EXPECT_TRUE(exists(dir + L"backup.exe1"));
    EXPECT_TRUE(exists(dir + L"folder.exe")) << "only files are removed";
    EXPECT_EQ("<assembly/>", readFile(copy + L".manifest"));
    EXPECT_EQ("launcher program bytes", readFile(copy));
    EXPECT_EQ(copy, std::wstring(launcherPath));
}

TEST_F(PrivateLauncherTest, CopyInUseIsReusedOnlyWhenItsSizeMatches) {
    ASSERT_TRUE(CreateDirectoryW(privateDir.c_str(), nullptr));
    std::wstring copy = privateDir + L"\\tool.exe";
    struct Row {
        std::string content;
        bool reused;
    };
    const Row rows[] = {{"launcher program bytes", true}, {"another program", false}};
    for (const Row& row : rows) {
        ASSERT_TRUE(writeFile(copy, row.content));
        // Held open without sharing, as a running program is: it can be neither
        // deleted nor overwritten.
        HANDLE running = CreateFileW(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, running);
        errorBeforeStep = ERROR_FILE_NOT_FOUND;
        std::string log = prepare(true);
        CloseHandle(running);

        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), errorAfterStep) << "the private path leaves the pending error code alone";
        EXPECT_EQ(row.content, readFile(copy));
        std::string reusing = "Reusing:\t\t" + latin1(copy) + "\r\n";
        if (row.reused) {
            EXPECT_EQ(copy, std::wstring(launcherPath));
            EXPECT_EQ(reusing, log.substr(log.size() - std::min(log.size(), reusing.size()))) << log;
        } else {
            EXPECT_EQ(plainLauncher(), std::wstring(launcherPath));
            EXPECT_EQ(std::string::npos, log.find("Reusing")) << log;
        }
    }
}

TEST_F(PrivateLauncherTest, FolderThatCannotBeCreatedGivesThePlainLauncher) {
    home = root + L"\\missing-parent\\jre"; // its parent does not exist
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
