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
        {L"1.8.0_202", L"8.0.392.8", -1}, // Oracle's 8 key against Temurin's
        {L"8.0.392.8", L"1.8.0_392", 1},  // the same update; Temurin adds its build number
        {L"17.0.9", L"17.0.10", -1},      {L"9", L"11", -1},                       {L"1.8.0_191_1", L"1.8.0_191", 1},
        {L"1.8.0.212", L"1.8.0_212", 0},  {L"1.8_101", L"1.8.0_101", 0},           {L"8.0.242.08", L"8.0.242.8", 0},
        {L"16.0.2.7.1", L"16.0.2.7", 1},  {L"11.0.2.9.3", L"11.0.2", 1},           {L"17", L"17.0.0", 0},
        {L"17.0.10+11-LTS-240", L"17.0.10+7", 0},                                  {L"21.0.4+7-LTS", L"21.0.4", 0},
        {L"21+35-jvmci-23.1-b15", L"21.0.0", 0},                                   {L"17.0.10+1-b1087.17", L"17.0.10", 0},
        {L"1.8.0_202-b08", L"1.8.0_202", 0}, // an old build tag is not a pre-release
        {L"21-ea", L"21", -1},            {L"21-ea", L"17.0.10", 1},               {L"21.0.1-beta", L"21.0.1", -1},
        {L"1.7.0_80", L"1.8", -1},        {L"99999999999", L"999999999", 0}, // a number saturates
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, compareJavaVersions(version(row.a), version(row.b))) << text(row.a) << " vs " << text(row.b);
        EXPECT_EQ(-row.expected, compareJavaVersions(version(row.b), version(row.a))) << text(row.b) << " vs " << text(row.a);
    }
    for (const wchar_t* bad : {L"", L"Java 17", L"17 ", L"1.8.", L"17-", L"1.8u202", L"17.x", L"zulu-17"}) {
        JavaVersion v;
        EXPECT_FALSE(parseJavaVersion(bad, &v)) << text(bad);
    }
}

TEST(JavaVersionCompare, VersionsInKeyAndFolderNames) {
    const wchar_t* const rows[][2] = {{L"zulu-8-jre", L"8"},          {L"jre1.8.0_111", L"8.0.111"},
                                      {L"jdk-17.0.10+7", L"17.0.10"}, {L"jdk-8.0.392.8-hotspot", L"8.0.392.8"},
                                      {L"jdk-21-ea", L"21"}}; // a name never marks early access
    for (const auto& row : rows) {
        JavaVersion fromName = {};
        ASSERT_TRUE(parseVersionInName(row[0], &fromName)) << text(row[0]);
        EXPECT_EQ(0, compareJavaVersions(fromName, version(row[1]))) << text(row[0]);
    }
    JavaVersion none;
    EXPECT_FALSE(parseVersionInName(L"jre", &none));
}

TEST(JavaVersionBounds, BoundsWithFewerNumbersCoverTheirPrefix) {
    struct Row {
        const wchar_t* candidate;
        const wchar_t* lower; // empty: none
        const wchar_t* upper;
        bool admitted;
    };
    const Row rows[] = {
        {L"17.0.0", L"17", L"", true},     {L"17-ea", L"17", L"", false},      {L"11.0.22", L"17", L"", false},
        {L"17.0.10+7", L"", L"17", true},  {L"18", L"", L"17", false},         {L"1.8.0_202", L"1.8", L"1.8", true},
        {L"8.0.392.8", L"", L"1.8", true}, {L"11", L"", L"1.8", false},        {L"1.7.0_80", L"1.8", L"", false},
        {L"17.0.9.1", L"", L"17.0.9", true}, {L"17.0.10", L"", L"17.0.9", false}, {L"21", L"", L"21-ea", false},
        {L"21-ea", L"", L"21", true},
    };
    for (const Row& row : rows) {
        JavaVersion candidate = version(row.candidate);
        bool admitted = (row.lower[0] == 0 || meetsLowerBound(candidate, version(row.lower))) &&
                        (row.upper[0] == 0 || meetsUpperBound(candidate, version(row.upper)));
        EXPECT_EQ(row.admitted, admitted) << text(row.candidate) << " in [" << text(row.lower) << ", " << text(row.upper) << "]";
    }
}

TEST(JavaVersionRelease, OnlyTheJavaVersionLineCounts) {
    const std::pair<std::string, const wchar_t*> rows[] = {
        {"JAVA_RUNTIME_VERSION=\"17.0.10+7\"\nJAVA_VERSION=\"17.0.10\"\nJAVA_VERSION_DATE=\"2024-01-16\"\n", L"17.0.10"},
        {"JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n", L"1.8.0_392"},
        {"JAVA_VERSION=21", L"21"},
        {"JAVA_VERSION_DATE=\"2024-01-16\"\n", nullptr},
        {"JAVA_VERSION=\"\"\n", nullptr},
        {"JAVA_VERSION=\"17\xC3\xA9\"\n", nullptr},
    };
    for (const auto& [bytes, expected] : rows) {
        wchar_t found[128] = L"";
        EXPECT_EQ(expected != nullptr, findReleaseJavaVersion(bytes.data(), bytes.size(), found, 128)) << bytes;
        EXPECT_STREQ(expected != nullptr ? expected : L"", expected != nullptr ? found : L"") << bytes;
    }
}

} // namespace
