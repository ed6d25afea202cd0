#include <gtest/gtest.h>

#include <string>

#include "runtime/java_version.h"

namespace {

std::string text(const wchar_t* s) { return std::string(s, s + std::wstring(s).size()); }

JavaVersion version(const wchar_t* s) {
    JavaVersion v = {};
    EXPECT_TRUE(parseJavaVersion(s, &v)) << text(s);
    return v;
}

// Every format installers, release files and key names use, against its
// neighbours: 1.x folded, numbers compared as numbers, build and vendor tails
// ignored, early access below the release.
TEST(JavaVersionCompare, FormatsSeenOnRealMachines) {
    struct Row {
        const wchar_t* a;
        const wchar_t* b;
        int expected;
    };
    const Row rows[] = {
        {L"1.8.0_202", L"8.0.392.8", -1},        // Oracle 8 key against Temurin's 8 key
        {L"8.0.392.8", L"1.8.0_392", 1},         // the same update; Temurin adds its build number
        {L"1.8.0_202", L"8", 1},
        {L"17.0.9", L"17.0.10", -1},             // not textual
        {L"9", L"11", -1},
        {L"1.8.0_191_1", L"1.8.0_191", 1},       // a second "_"
        {L"1.8.0.212", L"1.8.0_212", 0},         // a dot where "_" belongs
        {L"1.8_101", L"1.8.0_101", 0},           // the update without its micro number
        {L"1.8_101", L"1.8.0_202", -1},
        {L"8.0.242.08", L"8.0.242.8", 0},        // leading zeros
        {L"16.0.2.7.1", L"16.0.2.7", 1},         // five numbers
        {L"11.0.2.9.3", L"11.0.2", 1},
        {L"17.0.20.1", L"17.0.20", 1},
        {L"17", L"17.0.0", 0},
        {L"17.0.10+11-LTS-240", L"17.0.10", 0},  // build and vendor tails
        {L"17.0.10+7", L"17.0.10+11-LTS-240", 0},
        {L"21.0.4+7-LTS", L"21.0.4", 0},
        {L"21+35-jvmci-23.1-b15", L"21.0.0", 0},
        {L"17.0.10+1-b1087.17", L"17.0.10", 0},
        {L"1.8.0_202-b08", L"1.8.0_202", 0},     // an old build tag is not a pre-release
        {L"21-ea", L"21", -1},                   // early access below the release
        {L"21-ea", L"17.0.10", 1},
        {L"21.0.1-beta", L"21.0.1", -1},
        {L"1.7.0_80", L"1.8", -1},
        {L"99999999999", L"999999999", 0},       // a number saturates
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, compareJavaVersions(version(row.a), version(row.b))) << text(row.a) << " vs " << text(row.b);
        EXPECT_EQ(-row.expected, compareJavaVersions(version(row.b), version(row.a))) << text(row.b) << " vs " << text(row.a);
    }
}

TEST(JavaVersionCompare, OnlyVersionsParse) {
    for (const wchar_t* good : {L"17", L"1.8.0", L"1.8.0_202", L"21-ea", L"17.0.10+11-LTS-240", L"0"}) {
        JavaVersion v;
        EXPECT_TRUE(parseJavaVersion(good, &v)) << text(good);
    }
    for (const wchar_t* bad : {L"", L"Java 17", L"v17", L"17 ", L" 17", L"1.8.", L"17-", L"17+", L"1.8u202", L"17.x",
                               L"17-ea beta", L"zulu-17"}) {
        JavaVersion v;
        EXPECT_FALSE(parseJavaVersion(bad, &v)) << text(bad);
    }
}

TEST(JavaVersionCompare, VersionsInKeyAndFolderNames) {
    struct Row {
        const wchar_t* name;
        const wchar_t* same;
    };
    const Row rows[] = {
        {L"zulu-17", L"17"},
        {L"zulu-8-jre", L"8"},
        {L"jdk-8", L"8"},
        {L"jre-21", L"21"},
        {L"jdk1.8.0_202", L"1.8.0_202"},
        {L"jre1.8.0_111", L"8.0.111"},
        {L"jdk-17.0.10+7", L"17.0.10"},
        {L"jdk-8.0.392.8-hotspot", L"8.0.392.8"},
        {L"17.0.10.7", L"17.0.10.7"},
        {L"jdk-21-ea", L"21"}, // a name never marks early access
        {L"LibericaJDK-17", L"17"},
    };
    for (const Row& row : rows) {
        JavaVersion fromName = {};
        ASSERT_TRUE(parseVersionInName(row.name, &fromName)) << text(row.name);
        EXPECT_EQ(0, compareJavaVersions(fromName, version(row.same))) << text(row.name);
    }
    JavaVersion none;
    EXPECT_FALSE(parseVersionInName(L"jre", &none));
    EXPECT_FALSE(parseVersionInName(L"", &none));
}

TEST(JavaVersionBounds, BoundsWithFewerNumbersCoverTheirPrefix) {
    struct Row {
        const wchar_t* candidate;
        const wchar_t* lower; // empty: none
        const wchar_t* upper; // empty: none
        bool admitted;
    };
    const Row rows[] = {
        {L"17.0.0", L"17", L"", true},
        {L"17", L"17.0.0", L"", true},
        {L"17-ea", L"17", L"", false},
        {L"11.0.22", L"17", L"", false},
        {L"17.0.9", L"", L"17", true},
        {L"17.0.10+7", L"", L"17", true},
        {L"18", L"", L"17", false},
        {L"1.8.0_202", L"1.8", L"1.8", true},
        {L"8.0.392.8", L"", L"1.8", true},
        {L"8.0.392.8", L"", L"8", true},
        {L"11", L"", L"1.8", false},
        {L"1.7.0_80", L"1.8", L"", false},
        {L"17.0.9.1", L"", L"17.0.9", true},
        {L"17.0.10", L"", L"17.0.9", false},
        {L"21", L"", L"21-ea", false},
        {L"21-ea", L"", L"21-ea", true},
        {L"21-ea", L"", L"21", true},
        {L"21-ea", L"21-ea", L"", true},
    };
    for (const Row& row : rows) {
        JavaVersion candidate = version(row.candidate);
        bool admitted = true;
        if (row.lower[0] != 0) admitted = admitted && meetsLowerBound(candidate, version(row.lower));
        if (row.upper[0] != 0) admitted = admitted && meetsUpperBound(candidate, version(row.upper));
        EXPECT_EQ(row.admitted, admitted) << text(row.candidate) << " in [" << text(row.lower) << ", " << text(row.upper) << "]";
    }
}

TEST(JavaVersionRelease, TheJavaVersionLineOfAReleaseFile) {
    struct Row {
        std::string bytes;
        const wchar_t* expected; // nullptr: no version
    };
    const Row rows[] = {
        {"IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_RUNTIME_VERSION=\"17.0.10+7\"\nJAVA_VERSION=\"17.0.10\"\n"
         "JAVA_VERSION_DATE=\"2024-01-16\"\n",
         L"17.0.10"},
        {"JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n", L"1.8.0_392"},
        {"JAVA_VERSION=21", L"21"},
        {"JAVA_VERSION_DATE=\"2024-01-16\"\n", nullptr},
        {"JAVA_VERSION=\"\"\n", nullptr},
        {" JAVA_VERSION=\"17\"\n", nullptr},
        {"JAVA_VERSION=\"17\xC3\xA9\"\n", nullptr},
        {"", nullptr},
    };
    for (const Row& row : rows) {
        wchar_t found[128] = L"unchanged";
        bool ok = findReleaseJavaVersion(row.bytes.data(), row.bytes.size(), found, 128);
        EXPECT_EQ(row.expected != nullptr, ok) << row.bytes;
        if (row.expected != nullptr) {
            EXPECT_STREQ(row.expected, found) << row.bytes;
        }
    }
    wchar_t small[4];
    EXPECT_FALSE(findReleaseJavaVersion("JAVA_VERSION=\"17.0\"", 19, small, 4)) << "a value that does not fit";
}

} // namespace
