#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "launch/launch_sequence.h"
#include "log_capture.h"
#include "runtime/copy_marker.h"
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

// Private launcher copies beside the stand-in runtime's program, in a runtime
// folder of the test's own.
class PrivateLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        bundledRuntime = TRUE;
        home = scratchDir / L"jre";
        bin = home + L"\\bin";
        ASSERT_TRUE(e2e::makeDirectories(bin));
        ASSERT_TRUE(CopyFileW(e2e::fakeRuntimePath().c_str(), plainLauncher().c_str(), FALSE));
        runtimeBytes = scratch::readBytes(plainLauncher());
        ASSERT_TRUE(e2e::makeDirectories(scratchDir / L"app"));
        setExe(scratchDir / L"app\\tool.exe");
        copy = bin + L"\\tool.exe";
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
    static std::string unlinkLine(const std::wstring& path) { return "Unlink:\t\t" + latin1(path) + "\r\n"; }
    static bool exists(const std::wstring& path) { return e2e::fileExists(path); }
    void removeCopyFiles() const {
        for (const wchar_t* suffix : {L"", L".manifest", L".qd-launch"}) DeleteFileW((copy + suffix).c_str());
    }
    std::vector<std::wstring> binFiles() const {
        std::vector<std::wstring> files = e2e::listFiles(bin + L"\\*");
        std::sort(files.begin(), files.end());
        return files;
    }
    // What a marker that lists files of these contents holds.
    static std::string markerListing(const std::vector<std::string>& contents) {
        CopyMarker marker = {};
        for (const std::string& content : contents) {
            auto bytes = reinterpret_cast<const unsigned char*>(content.data());
            addToMarker(marker, addToFingerprint(FINGERPRINT_START, bytes, content.size()));
        }
        char text[MARKER_BYTES_MAX];
        return std::string(text, formatCopyMarker(marker, text));
    }
    // Opens a file as a reader does, as a running program or another launch
    // holds it: it can then be neither deleted nor replaced.
    static HANDLE holdOpen(const std::wstring& path) {
        return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    scratch::ScratchDir scratchDir;
    std::wstring home;
    std::wstring bin;
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
    EXPECT_EQ(std::vector<std::wstring>{L"javaw.exe"}, binFiles());
}

TEST_F(PrivateLauncherTest, FirstRunPutsTheCopyBesideTheRuntimesProgram) {
    std::string log = prepare(true);
    EXPECT_EQ(copy, std::wstring(launcherPath));
    EXPECT_EQ(runtimeBytes, scratch::readBytes(copy));
    EXPECT_EQ(copyLine(plainLauncher(), copy), log) << "no manifest next to the executable: only the launcher is copied";
    EXPECT_EQ((std::vector<std::wstring>{L"javaw.exe", L"tool.exe", L"tool.exe.qd-launch"}), binFiles())
        << "no temporary file is left behind";
    EXPECT_EQ(markerListing({runtimeBytes}), scratch::readBytes(copy + L".qd-launch"));
}

TEST_F(PrivateLauncherTest, OnlyTheLaunchersOwnFilesAreReplaced) {
    const std::string earlier = "an earlier runtime's javaw.exe";
    const std::string foreign = "a program of the runtime's own";
    const std::string absent = "(absent)";
    struct Row {
        const char* what;
        std::string content;
        std::string marker;
        bool heldOpen;
        bool runsThePrivateCopy;
        std::string contentAfter;
        bool logsNotOurs;
    };
    const Row rows[] = {
        {"nothing there yet", absent, absent, false, true, runtimeBytes, false},
        {"the same program, placed by an installer", runtimeBytes, absent, false, true, runtimeBytes, false},
        {"the same program, in use", runtimeBytes, markerListing({runtimeBytes}), true, true, runtimeBytes, false},
        {"the copy of an earlier runtime", earlier, markerListing({earlier}), false, true, runtimeBytes, false},
        {"the copy of an earlier runtime, in use", earlier, markerListing({earlier}), true, false, earlier, false},
        {"a program of the runtime", foreign, absent, false, false, foreign, true},
        {"a program of the runtime that took the copy's name", foreign, markerListing({earlier}), false, false,
         foreign, true},
        {"a marker that is not the launcher's", absent, "notes", false, false, absent, true},
    };
    for (const Row& row : rows) {
        removeCopyFiles();
        if (row.content != absent) {
            ASSERT_TRUE(scratch::writeBytes(copy, row.content));
        }
        if (row.marker != absent) {
            ASSERT_TRUE(scratch::writeBytes(copy + L".qd-launch", row.marker));
        }
        HANDLE reader = row.heldOpen ? holdOpen(copy) : INVALID_HANDLE_VALUE;
        errorBeforeStep = ERROR_FILE_NOT_FOUND;
        std::string log = prepare(true);
        if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);

        EXPECT_EQ(0u, failureAfterStep) << row.what << ": reusing or falling back is no failure of the launch";
        EXPECT_EQ(row.runsThePrivateCopy ? copy : plainLauncher(), std::wstring(launcherPath)) << row.what;
        EXPECT_EQ(row.logsNotOurs, log.find("Not ours:\t") != std::string::npos) << row.what << "\n" << log;
        releasePrivateLauncher();
        EXPECT_EQ(row.contentAfter, exists(copy) ? scratch::readBytes(copy) : absent) << row.what;
    }
}

TEST_F(PrivateLauncherTest, CleaningRemovesOnlyTheLaunchersOwnCopiesOfOtherNames) {
    std::wstring dir = bin + L"\\";
    const std::string manifest = "<assembly/>";
    auto place = [&](const wchar_t* name, const std::string& content) {
        ASSERT_TRUE(scratch::writeBytes(dir + name, content));
    };
    // A renamed executable's copy and manifest.
    place(L"old-name.exe", runtimeBytes);
    place(L"old-name.exe.manifest", manifest);
    place(L"old-name.exe.qd-launch", markerListing({runtimeBytes, manifest}));
    // A copy whose program file is already gone.
    place(L"gone.exe.manifest", manifest);
    place(L"gone.exe.qd-launch", markerListing({manifest}));
    // A copy another launch holds or runs: its manifest and marker stay with it.
    place(L"busy.exe", runtimeBytes);
    place(L"busy.exe.manifest", manifest);
    place(L"busy.exe.qd-launch", markerListing({runtimeBytes, manifest}));
    // A program of the runtime that took a copy's name later.
    place(L"taken.exe", "a program of the runtime's own");
    place(L"taken.exe.qd-launch", markerListing({runtimeBytes}));
    // Markers that would name the runtime's own program, or are not markers.
    place(L"javaw.exe.qd-launch", markerListing({runtimeBytes}));
    place(L"odd.exe", runtimeBytes);
    place(L"odd.exe.qd-launch", "not a marker");
    HANDLE busy = holdOpen(dir + L"busy.exe");

    std::string log = prepare(true);
    CloseHandle(busy);

    EXPECT_EQ(copy, std::wstring(launcherPath));
    EXPECT_EQ((std::vector<std::wstring>{L"busy.exe", L"busy.exe.manifest", L"busy.exe.qd-launch",
                                         L"javaw.exe", L"javaw.exe.qd-launch", L"odd.exe", L"odd.exe.qd-launch",
                                         L"taken.exe", L"taken.exe.qd-launch", L"tool.exe", L"tool.exe.qd-launch"}),
              binFiles());
    EXPECT_EQ(runtimeBytes, scratch::readBytes(plainLauncher()));
    for (const wchar_t* removed : {L"old-name.exe", L"old-name.exe.manifest", L"gone.exe.manifest"}) {
        EXPECT_NE(std::string::npos, log.find(unlinkLine(dir + removed))) << log;
    }
}

TEST_F(PrivateLauncherTest, TheCopyAndItsManifestAreHeldUntilTheChildHasStarted) {
    std::wstring manifest = std::wstring(exePath) + L".manifest";
    ASSERT_TRUE(scratch::writeBytes(manifest, "<assembly/>"));
    std::string log = prepare(true);
    EXPECT_EQ(copyLine(manifest, copy + L".manifest") + copyLine(plainLauncher(), copy), log);
    EXPECT_EQ("<assembly/>", scratch::readBytes(copy + L".manifest"));
    for (const std::wstring& held : {copy, copy + L".manifest"}) {
        EXPECT_FALSE(DeleteFileW(held.c_str())) << latin1(held);
        EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING, 0, nullptr))
            << latin1(held);
    }
    privateLauncherStarted();
    EXPECT_TRUE(DeleteFileW((copy + L".manifest").c_str()));
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
}

TEST_F(PrivateLauncherTest, AManifestBesideTheCopyGoesWhenTheExecutableHasNone) {
    struct Row {
        const char* what;
        std::string marker;
        bool runsThePrivateCopy;
        bool manifestStays;
    };
    const std::string manifest = "<assembly/>";
    const Row rows[] = {
        {"the launcher's own, from before", markerListing({manifest}), true, false},
        {"one of the runtime's own", "", false, true},
    };
    for (const Row& row : rows) {
        removeCopyFiles();
        ASSERT_TRUE(scratch::writeBytes(copy + L".manifest", manifest));
        ASSERT_TRUE(scratch::writeBytes(copy + L".qd-launch", row.marker));
        prepare(true);
        releasePrivateLauncher();
        EXPECT_EQ(row.runsThePrivateCopy ? copy : plainLauncher(), std::wstring(launcherPath)) << row.what;
        EXPECT_EQ(row.manifestStays, exists(copy + L".manifest")) << row.what;
    }
}

TEST_F(PrivateLauncherTest, ExecutableNamedLikeTheRuntimesProgramNeedsNoCopy) {
    setExe(scratchDir / L"app\\JAVAW.EXE");
    EXPECT_EQ("", prepare(true));
    EXPECT_EQ(plainLauncher(), std::wstring(launcherPath));
    EXPECT_EQ(std::vector<std::wstring>{L"javaw.exe"}, binFiles());
}

TEST_F(PrivateLauncherTest, CopyThatCannotBeStartedGivesWayToThePlainLauncher) {
    prepare(true);
    ASSERT_EQ(copy, std::wstring(launcherPath));
    // Stands in for a private copy that the system refuses to start.
    std::wstring unstartable = bin + L"\\missing.exe";
    copyText(launcherPath, PATH_CAPACITY, unstartable.c_str());
    LogCapture log;
    ASSERT_EQ(0, startChild());
    EXPECT_EQ(plainLauncher(), std::wstring(launcherPath));
    EXPECT_EQ("Start failed:\t" + latin1(unstartable) + "\r\n", log.bytes());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 20000));
    releaseChild();
    EXPECT_TRUE(DeleteFileW(copy.c_str())) << "the copy is let go once a child has started";
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

TEST(LoaderRefusal, OnlyALoadersCodeSoonAndWithoutOutput) {
    struct Row {
        DWORD exitCode;
        ULONGLONG ranMs;
        bool wroteOutput;
        bool unloaded;
    };
    const Row rows[] = {
        {0xC0000135, 30, false, true},    // a DLL not found
        {0xC000007B, 30, false, true},    // a DLL for another machine
        {0xC0000364, 30, false, true},    // refused by a software restriction or AppLocker policy
        {0xC0E90002, 4999, false, true},  // refused by an application control policy
        {0xC0000135, 5000, false, false}, // ran too long for a loader's refusal
        {0xC0000135, 30, true, false},    // it wrote something: it ran
        {1, 30, false, false},
        {0xC0000005, 30, false, false},   // a crash of a program that ran
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.unloaded, endedUnloaded(row.exitCode, row.ranMs, row.wroteOutput))
            << std::hex << row.exitCode << std::dec << " after " << row.ranMs << " ms";
    }
}

} // namespace
