#include <gtest/gtest.h>

#include <string>

#include "../support/registry_sandbox.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "log_capture.h"
#include "runtime/runtime_search.h"
#include "runtime/runtime_sources.h"

namespace {

std::string latin1(const std::wstring& text) { return std::string(text.begin(), text.end()); }

struct VersionRow {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
};

const VersionRow WORKED_TABLE[] = {
    {L"1.8", L"1.8.0", -1},       {L"1.8.0", L"1.8.0", 0},     {L"1.8.0_202", L"1.8.0", 1},
    {L"11.0.2", L"1.8.0", 1},     {L"1.8.0_202", L"1.8.0_65", 1}, {L"1.7.0_80", L"1.8.0", -1},
    {L"1.10", L"1.9", 1},         {L"1.08", L"1.8", 0},        {L"1.8.0.0", L"1.8.0", 1},
    {L"1.8.0-ea", L"1.8.0", 1},   {L"1.8.0a", L"1.8.0", 0},    {L"1.8u202", L"1.8", 0},
    {L"17", L"17.0.1", -1},       {L"1..8", L"1.8", -1},       {L"1.8.", L"1.8", 1},
    {L"1.8.", L"1.8.0", -1},
};

TEST(VersionCompare, WorkedTable) {
    for (const VersionRow& row : WORKED_TABLE) {
        EXPECT_EQ(row.expected, compareVersions(row.a, row.b)) << latin1(row.a) << " vs " << latin1(row.b);
    }
}

TEST(VersionCompare, SwappedArgumentsGiveTheOppositeResult) {
    for (const VersionRow& row : WORKED_TABLE) {
        EXPECT_EQ(-row.expected, compareVersions(row.b, row.a)) << latin1(row.b) << " vs " << latin1(row.a);
    }
}

TEST(VersionCompare, ComponentsAreNumbersAndSeparatorsAreAnyNonAlphanumeric) {
    const VersionRow rows[] = {
        {L"9", L"10", -1},
        {L"1_8_0", L"1.8.0", 0},
        {L"1 8", L"1-8", 0},
        {L"2", L"1.99.99", 1},
        {L"1.8.0_202", L"1.8.0_202-b08", -1},
        {L"99999999999", L"2147483647", 0}, // beyond the 32-bit range a component saturates
        {L"abc", L"0", 0},                  // no digits count as 0
        {L"1.x", L"1.0", 0},
    };
    for (const VersionRow& row : rows) {
        EXPECT_EQ(row.expected, compareVersions(row.a, row.b)) << latin1(row.a) << " vs " << latin1(row.b);
        EXPECT_EQ(-row.expected, compareVersions(row.b, row.a)) << latin1(row.b) << " vs " << latin1(row.a);
    }
}

TEST(VersionCompare, TailsOfExhaustedAndEmptyTexts) {
    EXPECT_EQ(0, compareVersionTails(nullptr, nullptr));
    EXPECT_EQ(-1, compareVersionTails(nullptr, L"0"));
    EXPECT_EQ(1, compareVersionTails(L"", nullptr));
    EXPECT_EQ(0, compareVersionTails(L"", L""));
    EXPECT_EQ(-1, compareVersionTails(L"", L"0"));
    EXPECT_EQ(1, compareVersionTails(L"0", L""));
    EXPECT_EQ(1, compareVersionTails(L"0_202", L"0_65"));
}

TEST(RuntimeCandidate, BoundsAreInclusiveAndOnlyStrictlyBetterVersionsWin) {
    struct Row {
        const wchar_t* name;
        const wchar_t* lower;
        const wchar_t* upper;
        const wchar_t* best;
        bool better;
    };
    const Row rows[] = {
        {L"1.8.0", L"1.8.0", L"", L"", true},
        {L"1.8", L"1.8.0", L"", L"", false},           // below the lower bound
        {L"1.8.0", L"", L"1.8.0", L"", true},          // the upper bound admits itself
        {L"1.7.0_80", L"", L"1.8.0", L"", true},
        {L"1.8.0_202", L"", L"1.8.0", L"", false},     // above the upper bound
        {L"1.8.0_202", L"1.8.0", L"", L"1.8.0_65", true},
        {L"1.8.0_65", L"1.8.0", L"", L"1.8.0_202", false},
        {L"1.8.0_202", L"1.8.0", L"", L"1.8.0_202", false}, // equal: the first one seen stays
        {L"", L"1.8.0", L"", L"", false},              // an empty name never passes a lower bound
        {L"", L"", L"", L"", false},
        {L"anything", L"", L"", L"", true},            // no bounds: any name
        {L"11", L"1.8.0", L"17", L"1.8.0_202", true},
        {L"17.0.1", L"1.8.0", L"17", L"", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.better, isBetterRuntimeVersion(row.name, row.lower, row.upper, row.best))
            << latin1(row.name) << " [" << latin1(row.lower) << ", " << latin1(row.upper) << "] best "
            << latin1(row.best);
    }
    std::wstring longest = L"9." + std::wstring(VERSION_NAME_MAX - 2, L'1');
    std::wstring tooLong = longest + L"1";
    EXPECT_TRUE(isBetterRuntimeVersion(longest.c_str(), L"1.8.0", L"", L""));
    EXPECT_FALSE(isBetterRuntimeVersion(tooLong.c_str(), L"1.8.0", L"", L""));
}

TEST(RuntimeSearchOrder, KeysSearchedForEachSetting) {
    const RuntimeFamilyKey pair[2] = {{L"R", FAMILY_RUNTIME}, {L"D", FAMILY_DEVELOPMENT_KIT}};
    struct Row {
        int order;
        const char* keys;
    };
    const Row rows[] = {{0, "R"}, {1, "RD"}, {2, "DR"}, {3, "D"}, {7, "RD"}, {-1, "RD"}, {4, "RD"}};
    for (const Row& row : rows) {
        RuntimeFamilyKey searched[2] = {};
        size_t count = familySearchOrder(row.order, pair, searched);
        std::string keys;
        for (size_t i = 0; i < count; ++i) {
            keys += latin1(searched[i].keyPath);
            EXPECT_EQ(searched[i].keyPath[0] == L'R' ? FAMILY_RUNTIME : FAMILY_DEVELOPMENT_KIT, searched[i].family);
        }
        EXPECT_EQ(row.keys, keys) << "order " << row.order;
    }
}

const wchar_t* const JRE_KEY = L"SOFTWARE\\JavaSoft\\Java Runtime Environment";
const wchar_t* const JDK_KEY = L"SOFTWARE\\JavaSoft\\Java Development Kit";
const wchar_t* const IBM_JRE_KEY = L"SOFTWARE\\IBM\\Java2 Runtime Environment";
const wchar_t* const IBM_JDK_KEY = L"SOFTWARE\\IBM\\Java Development Kit";

// The registry search against version keys that the test creates.
class RegistrySearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        for (const wchar_t* key : {JRE_KEY, JDK_KEY, IBM_JRE_KEY, IBM_JDK_KEY}) {
            ASSERT_FALSE(testreg::RegistrySandbox::keyExists(HKEY_LOCAL_MACHINE, key))
                << latin1(key) << " exists before the test: the search would see foreign versions";
        }
    }
    void TearDown() override {
        registry.removeAll();
        resetLaunchState();
    }
    void addVersions(const wchar_t* familyKey, std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) {
            ASSERT_TRUE(registry.createKey(HKEY_LOCAL_MACHINE, std::wstring(familyKey) + L"\\" + name));
        }
    }
    // Runs the search with these bounds and returns the log it wrote.
    std::string search(int order, const wchar_t* lower = L"1.8.0", const wchar_t* upper = L"") {
        copyText(minVersion, NAME_CAPACITY, lower);
        copyText(maxVersion, NAME_CAPACITY, upper);
        LogCapture log;
        searchInstalledRuntimes(order);
        return log.bytes();
    }
    static std::string searchLine(const wchar_t* key) {
        return "64-bit search on a 64-bit executable:\t" + latin1(key) + "...\r\n";
    }
    static std::string line(const char* verdict, const wchar_t* key, const wchar_t* name) {
        return std::string(verdict) + ":\t\t" + latin1(key) + "\\" + latin1(name) + "\r\n";
    }

    testreg::RegistrySandbox registry;
};

TEST_F(RegistrySearchTest, WorkedExampleKeepsTheRuntimeKeysFirstBestVersion) {
    addVersions(JRE_KEY, {L"1.8", L"1.8.0_202", L"1.8.0_65"});
    addVersions(JDK_KEY, {L"1.8", L"1.8.0_202"});
    addVersions(IBM_JRE_KEY, {L"11.0.2"});
    std::string log = search(1);

    EXPECT_EQ(searchLine(JRE_KEY) + line("Ignore", JRE_KEY, L"1.8") + line("Match", JRE_KEY, L"1.8.0_202") +
                  line("Ignore", JRE_KEY, L"1.8.0_65") + searchLine(JDK_KEY) + line("Ignore", JDK_KEY, L"1.8") +
                  line("Ignore", JDK_KEY, L"1.8.0_202"),
              log)
        << "the IBM keys are not searched after a JavaSoft match";
    EXPECT_STREQ(L"1.8.0_202", foundVersion);
    EXPECT_EQ(std::wstring(JRE_KEY) + L"\\1.8.0_202", std::wstring(foundRuntimeKey));
    EXPECT_EQ(FAMILY_RUNTIME, foundRuntime);
}

TEST_F(RegistrySearchTest, SearchOrderDecidesBetweenEqualVersions) {
    addVersions(JRE_KEY, {L"1.8.0_202"});
    addVersions(JDK_KEY, {L"1.8.0_202"});
    struct Row {
        int order;
        std::string searched;
        DWORD family;
    };
    const Row rows[] = {
        {0, searchLine(JRE_KEY), FAMILY_RUNTIME},
        {1, searchLine(JRE_KEY) + searchLine(JDK_KEY), FAMILY_RUNTIME},
        {2, searchLine(JDK_KEY) + searchLine(JRE_KEY), FAMILY_DEVELOPMENT_KIT},
        {3, searchLine(JDK_KEY), FAMILY_DEVELOPMENT_KIT},
        {7, searchLine(JRE_KEY) + searchLine(JDK_KEY), FAMILY_RUNTIME},
        {-1, searchLine(JRE_KEY) + searchLine(JDK_KEY), FAMILY_RUNTIME},
    };
    for (const Row& row : rows) {
        resetLaunchState();
        std::string log = search(row.order);
        std::string searched;
        for (size_t at = log.find("64-bit search"); at != std::string::npos; at = log.find("64-bit search", at + 1)) {
            searched += log.substr(at, log.find("\r\n", at) + 2 - at);
        }
        EXPECT_EQ(row.searched, searched) << "order " << row.order;
        EXPECT_EQ(row.family, foundRuntime) << "order " << row.order;
        const wchar_t* winner = row.family == FAMILY_RUNTIME ? JRE_KEY : JDK_KEY;
        EXPECT_EQ(std::wstring(winner) + L"\\1.8.0_202", std::wstring(foundRuntimeKey)) << "order " << row.order;
    }
}

TEST_F(RegistrySearchTest, IbmKeysAreSearchedOnlyWithoutJavaSoftMatch) {
    addVersions(JRE_KEY, {L"1.7.0_80"});
    addVersions(IBM_JRE_KEY, {L"1.8.0_10"});
    addVersions(IBM_JDK_KEY, {L"1.8.0_20"});
    std::string log = search(1);
    EXPECT_EQ(searchLine(JRE_KEY) + line("Ignore", JRE_KEY, L"1.7.0_80") + searchLine(JDK_KEY) +
                  searchLine(IBM_JRE_KEY) + line("Match", IBM_JRE_KEY, L"1.8.0_10") + searchLine(IBM_JDK_KEY) +
                  line("Match", IBM_JDK_KEY, L"1.8.0_20"),
              log);
    EXPECT_EQ(FAMILY_DEVELOPMENT_KIT, foundRuntime);
    EXPECT_EQ(std::wstring(IBM_JDK_KEY) + L"\\1.8.0_20", std::wstring(foundRuntimeKey));
}

TEST_F(RegistrySearchTest, UpperBoundAndEmptyLowerBound) {
    addVersions(JRE_KEY, {L"1.6.0", L"1.7.0_80", L"1.8.0", L"1.8.0_202"});
    std::string log = search(0, L"", L"1.8.0");
    EXPECT_EQ(searchLine(JRE_KEY) + line("Match", JRE_KEY, L"1.6.0") + line("Match", JRE_KEY, L"1.7.0_80") +
                  line("Match", JRE_KEY, L"1.8.0") + line("Ignore", JRE_KEY, L"1.8.0_202"),
              log);
    EXPECT_STREQ(L"1.8.0", foundVersion);
}

TEST_F(RegistrySearchTest, NoMatchLeavesNothingFound) {
    addVersions(JRE_KEY, {L"1.6.0"});
    std::string log = search(3);
    EXPECT_EQ(searchLine(JDK_KEY) + searchLine(IBM_JDK_KEY), log);
    EXPECT_EQ(FAMILY_NONE, foundRuntime);
    EXPECT_STREQ(L"", foundVersion);
    EXPECT_STREQ(L"", foundRuntimeKey);
}

TEST_F(RegistrySearchTest, OverlongSubkeyNameIsIgnored) {
    std::wstring longest = L"9." + std::wstring(VERSION_NAME_MAX - 2, L'1');
    std::wstring tooLong = L"99." + std::wstring(VERSION_NAME_MAX - 2, L'1');
    addVersions(JRE_KEY, {tooLong.c_str(), L"1.8.0_1"});
    std::string log = search(0);
    EXPECT_EQ(searchLine(JRE_KEY) + line("Match", JRE_KEY, L"1.8.0_1") + line("Ignore", JRE_KEY, tooLong.c_str()),
              log);
    EXPECT_STREQ(L"1.8.0_1", foundVersion);

    registry.removeAll();
    resetLaunchState();
    addVersions(JRE_KEY, {longest.c_str()});
    search(0);
    EXPECT_EQ(longest, std::wstring(foundVersion)) << "127 characters are a candidate";
}

// locateRuntime with the test program's records: the bundled folder is
// %QDU_RUNTIME_DIR%, the lower bound 1.8.0.
class LocateRuntimeTest : public RegistrySearchTest {
protected:
    void SetUp() override {
        RegistrySearchTest::SetUp();
        moduleHandle = GetModuleHandleW(nullptr);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"qdu-locate";
        for (const wchar_t* dir : {L"", L"\\app", L"\\bundled", L"\\bundled\\bin", L"\\registered",
                                   L"\\registered\\bin"}) {
            CreateDirectoryW((root + dir).c_str(), nullptr);
        }
        for (const wchar_t* launcher : {L"\\bundled\\bin\\javaw.exe", L"\\registered\\bin\\javaw.exe"}) {
            HANDLE file = CreateFileW((root + launcher).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, file);
            CloseHandle(file);
        }
        std::wstring exe = root + L"\\app\\tool.exe";
        copyText(exePath, PATH_CAPACITY, exe.c_str());
        exeDirLen = exe.rfind(L'\\');
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"QDU_RUNTIME_DIR", nullptr);
        for (const wchar_t* launcher : {L"\\bundled\\bin\\javaw.exe", L"\\registered\\bin\\javaw.exe"}) {
            DeleteFileW((root + launcher).c_str());
        }
        for (const wchar_t* dir : {L"\\registered\\bin", L"\\registered", L"\\bundled\\bin", L"\\bundled",
                                   L"\\app", L""}) {
            RemoveDirectoryW((root + dir).c_str());
        }
        RegistrySearchTest::TearDown();
    }
    std::wstring root;
};

TEST_F(LocateRuntimeTest, BundledFolderComesFromTheExpandedRecord) {
    std::wstring bundled = root + L"\\bundled";
    SetEnvironmentVariableW(L"QDU_RUNTIME_DIR", bundled.c_str());
    LogCapture log;
    EXPECT_EQ(1, locateRuntime(exePath, exeDirLen));
    EXPECT_EQ(bundled, std::wstring(runtimeHome));
    EXPECT_STREQ(L"", minVersion) << "the bounds are read only for the registry search";
    EXPECT_EQ("Substitute:\tQDU_RUNTIME_DIR = " + latin1(bundled) + "\r\nBundled JRE:\t" + latin1(bundled) +
                  "\r\nCheck launcher:\t" + latin1(bundled) + "\\bin\\javaw.exe (OK)\r\n",
              log.bytes());
}

TEST_F(LocateRuntimeTest, RegisteredRuntimeAfterAMissingBundledFolderNotesNoFailure) {
    SetEnvironmentVariableW(L"QDU_RUNTIME_DIR", (root + L"\\no-such-folder").c_str());
    ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, std::wstring(JRE_KEY) + L"\\1.8.0_202", L"JavaHome",
                                   root + L"\\registered"));
    EXPECT_EQ(1, locateRuntime(exePath, exeDirLen));
    EXPECT_EQ(0u, failureCode) << "the failed probe of the bundled folder is no failure of the launch";
    EXPECT_EQ(root + L"\\registered", std::wstring(runtimeHome));
    EXPECT_STREQ(L"1.8.0", minVersion);
}

} // namespace
