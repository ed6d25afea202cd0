#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../support/registry_sandbox.h"
#include "launch/bounded_text.h"
#include "launch/launch_state.h"
#include "log_capture.h"
#include "runtime/runtime_sources.h"
#include "scratch_files.h"

namespace {

using e2e::latin1;

TEST(RuntimeSourceList, WordsSeparatedBySemicolons) {
    struct Row {
        const wchar_t* text;
        bool valid;
        const char* words; // the list read, or the item refused
    };
    const Row rows[] = {
        {L"registry;java_home", true, "registry,java_home,"},
        {L" Registry ; PATH\t;folders", true, "registry,path,folders,"},
        {L"path;registry;path", true, "path,registry,"},
        {L"java_home;registry;path;folders", true, "java_home,registry,path,folders,"},
        {L"registry;;path", false, ""},
        {L"registry;", false, ""},
        {L"", false, ""},
        {L"registry;jvm", false, "jvm"},
        {L"registry java_home", false, "registry java_home"},
        {L"javahome", false, "javahome"},
    };
    for (const Row& row : rows) {
        RuntimeSourceList list = {};
        const wchar_t* bad = nullptr;
        size_t badLength = 0;
        ASSERT_EQ(row.valid, parseRuntimeSources(row.text, &list, &bad, &badLength)) << latin1(row.text);
        std::string words;
        if (row.valid) {
            for (size_t i = 0; i < list.count; ++i) words += latin1(runtimeSourceWord(list.items[i])) + ",";
        } else {
            words = latin1(std::wstring(bad, badLength));
        }
        EXPECT_EQ(row.words, words) << latin1(row.text);
    }
}

TEST(RuntimeSourceBounds, ABoundThatIsNoVersionRefusesTheLaunch) {
    resetLaunchState();
    copyText(messageText, MESSAGE_CAPACITY, L"Start-up failed.");
    copyText(minVersion, NAME_CAPACITY, L"Java 17");
    VersionBounds bounds;
    EXPECT_FALSE(readVersionBounds(&bounds));
    EXPECT_STREQ(L"Start-up failed.\n\nThe launcher's configuration is damaged: CFG_MIN_VERSION \"Java 17\" is not a "
                 L"Java version.",
                 messageText);

    resetLaunchState();
    copyText(minVersion, NAME_CAPACITY, L"1.8");
    copyText(maxVersion, NAME_CAPACITY, L"17");
    ASSERT_TRUE(readVersionBounds(&bounds));
    EXPECT_TRUE(bounds.hasLower && bounds.hasUpper);
    EXPECT_EQ(8u, bounds.lower.parts[0]);
    resetLaunchState();
}

// Keys that a test of the registry source must find empty, in both hives.
const wchar_t* const VENDOR_KEYS[] = {
    L"SOFTWARE\\JavaSoft",     L"SOFTWARE\\Eclipse Adoptium", L"SOFTWARE\\Eclipse Foundation", L"SOFTWARE\\AdoptOpenJDK",
    L"SOFTWARE\\Semeru",       L"SOFTWARE\\Microsoft\\JDK",   L"SOFTWARE\\Microsoft\\JRE",     L"SOFTWARE\\Azul Systems",
    L"SOFTWARE\\BellSoft",     L"SOFTWARE\\SapMachine",       L"SOFTWARE\\IBM",
};

// A stand-in installation below the case's folder ("$").
enum Layout { BIN, JRE_BIN, PROGRAM_ONLY, NO_PROGRAM };
struct Installed {
    std::wstring folder;
    const char* release; // JAVA_VERSION of its release file; nullptr: no release file
    Layout layout;
};

struct Key {
    HKEY hive;
    std::wstring path;
    std::wstring value;
    std::wstring data; // "$" stands for the case's folder
    DWORD type;
};

struct SourceCase {
    const char* what;
    const wchar_t* sources;
    std::vector<Installed> installed;
    std::vector<Key> keys;
    std::map<std::wstring, std::wstring> environment;
    const wchar_t* chosen;  // runtimeHome afterwards, "$" for the case's folder; nullptr: nothing acceptable
    std::wstring logged;    // a piece of the log
    const wchar_t* lower = L"17";
    const wchar_t* upper = L"";
    int order = 1;
};

Key machine(const std::wstring& path, const std::wstring& value, const std::wstring& data, DWORD type = REG_SZ) {
    return {HKEY_LOCAL_MACHINE, path, value, data, type};
}

const std::wstring TEMURIN_21 = L"SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI";

std::vector<SourceCase> sourceCases() {
    const Installed temurin21 = {L"jdk-21.0.1.12-hotspot", "21.0.1", BIN};
    const Installed jdk17 = {L"jdk-17.0.2", "17.0.2", BIN};
    const Key temurinKey = machine(TEMURIN_21, L"Path", L"$\\jdk-21.0.1.12-hotspot\\");
    std::vector<SourceCase> cases = {
        {"Temurin, its own key only (the path ends with a backslash)", L"registry", {temurin21}, {temurinKey}, {},
         L"$\\jdk-21.0.1.12-hotspot", L"Runtime chosen:\t$\\jdk-21.0.1.12-hotspot, version 21.0.1\r\n"},
        {"Temurin with the JavaSoft keys: one home under three keys", L"registry", {temurin21},
         {temurinKey, machine(L"SOFTWARE\\JavaSoft\\JDK\\21", L"JavaHome", L"$\\jdk-21.0.1.12-hotspot\\"),
          machine(L"SOFTWARE\\JavaSoft\\JDK\\21.0.1.12", L"JavaHome", L"$\\jdk-21.0.1.12-hotspot\\")},
         {}, L"$\\jdk-21.0.1.12-hotspot",
         L"Runtime ignored:\tHKLM\\" + TEMURIN_21 + L" = $\\jdk-21.0.1.12-hotspot\\: the same folder was already looked at"},
        {"Temurin installed for the user only", L"registry", {{L"jre-17.0.10.7-hotspot", "17.0.10", BIN}},
         {{HKEY_CURRENT_USER, L"SOFTWARE\\Eclipse Adoptium\\JRE\\17.0.10.7\\hotspot\\MSI", L"Path",
           L"$\\jre-17.0.10.7-hotspot\\", REG_SZ}},
         {}, L"$\\jre-17.0.10.7-hotspot", L""},
        {"Oracle 8 and Oracle 21 side by side: the highest", L"registry",
         {{L"jdk1.8.0_202", "1.8.0_202", BIN}, {L"jdk-21.0.1", "21.0.1", BIN}},
         {machine(L"SOFTWARE\\JavaSoft\\Java Development Kit\\1.8.0_202", L"JavaHome", L"$\\jdk1.8.0_202"),
          machine(L"SOFTWARE\\JavaSoft\\JDK\\21.0.1", L"JavaHome", L"$\\jdk-21.0.1")},
         {}, L"$\\jdk-21.0.1", L"", L"1.8"},
        {"Oracle 8 and Oracle 21 under an upper bound of 1.8", L"registry",
         {{L"jdk1.8.0_202", "1.8.0_202", BIN}, {L"jdk-21.0.1", "21.0.1", BIN}},
         {machine(L"SOFTWARE\\JavaSoft\\Java Development Kit\\1.8.0_202", L"JavaHome", L"$\\jdk1.8.0_202"),
          machine(L"SOFTWARE\\JavaSoft\\JDK\\21.0.1", L"JavaHome", L"$\\jdk-21.0.1")},
         {}, L"$\\jdk1.8.0_202", L"version 21.0.1 is above the maximum 1.8", L"1.8", L"1.8"},
        {"a JDK 8 whose program is only in jre\\bin", L"registry", {{L"jdk1.8.0_202", "1.8.0_202", JRE_BIN}},
         {machine(L"SOFTWARE\\JavaSoft\\Java Development Kit\\1.8.0_202", L"JavaHome", L"$\\jdk1.8.0_202")}, {},
         L"$\\jdk1.8.0_202\\jre", L"", L"1.8"},
        {"Zulu: the version in the key name, development kits only", L"registry",
         {{L"zulu-17", nullptr, BIN}, {L"zulu-21-jre", nullptr, BIN}},
         {machine(L"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", L"InstallationPath", L"$\\zulu-17\\"),
          machine(L"SOFTWARE\\Azul Systems\\Zulu\\zulu-21-jre", L"InstallationPath", L"$\\zulu-21-jre\\")},
         {}, L"$\\zulu-17", L"Runtime found:\tHKLM\\SOFTWARE\\Azul Systems\\Zulu\\zulu-17 = $\\zulu-17\\: version zulu-17 (no release file)",
         L"17", L"", 3},
        {"Liberica", L"registry", {{L"liberica-17", "17.0.10", BIN}},
         {machine(L"SOFTWARE\\BellSoft\\Liberica\\jdk-17", L"InstallationPath", L"$\\liberica-17\\")}, {},
         L"$\\liberica-17", L""},
        {"SapMachine", L"registry", {{L"sapmachine-17", "17.0.10", BIN}},
         {machine(L"SOFTWARE\\SapMachine\\JDK\\17.0.10", L"JavaHome", L"$\\sapmachine-17\\")}, {}, L"$\\sapmachine-17",
         L""},
        {"Microsoft", L"registry", {{L"microsoft-jdk-17.0.8.101-hotspot", "17.0.8.1", BIN}},
         {machine(L"SOFTWARE\\Microsoft\\JDK\\17.0.8.1\\hotspot\\MSI", L"Path", L"$\\microsoft-jdk-17.0.8.101-hotspot\\")},
         {}, L"$\\microsoft-jdk-17.0.8.101-hotspot", L""},
        {"a stale key whose folder is gone", L"registry", {jdk17},
         {machine(L"SOFTWARE\\JavaSoft\\JDK\\22", L"JavaHome", L"$\\jdk-22"),
          machine(L"SOFTWARE\\JavaSoft\\JDK\\17.0.2", L"JavaHome", L"$\\jdk-17.0.2")},
         {}, L"$\\jdk-17.0.2",
         L"Runtime ignored:\tHKLM\\SOFTWARE\\JavaSoft\\JDK\\22 = $\\jdk-22: the folder does not exist (a stale entry)"},
        {"an expandable home with a trailing backslash", L"registry", {jdk17},
         {machine(L"SOFTWARE\\JavaSoft\\JDK\\17.0.2", L"JavaHome", L"%QDU_JDKS%\\jdk-17.0.2\\", REG_EXPAND_SZ)},
         {{L"QDU_JDKS", L"$"}}, L"$\\jdk-17.0.2", L""},
        {"nothing acceptable: too old, and no program", L"registry",
         {{L"jdk-11.0.2", "11.0.2", BIN}, {L"jre-17", "17.0.2", NO_PROGRAM}},
         {machine(L"SOFTWARE\\JavaSoft\\JDK\\11.0.2", L"JavaHome", L"$\\jdk-11.0.2"),
          machine(L"SOFTWARE\\JavaSoft\\JRE\\17", L"JavaHome", L"$\\jre-17")},
         {}, nullptr, L"version 11.0.2 is below the minimum 17"},
        {"JAVA_HOME, quoted and with a trailing backslash", L"java_home", {jdk17}, {},
         {{L"JAVA_HOME", L"\"$\\jdk-17.0.2\\\""}}, L"$\\jdk-17.0.2", L""},
        {"Path, past a javapath stub", L"path", {{L"javapath", nullptr, PROGRAM_ONLY}, jdk17}, {},
         {{L"Path", L"$\\javapath;$\\jdk-17.0.2\\bin"}}, L"$\\jdk-17.0.2",
         L"Runtime ignored:\tPath = $\\javapath: a stub folder whose programs only forward to a registered runtime"},
        {"install folders, machine-wide and per user", L"folders",
         {{L"pf\\Eclipse Adoptium\\jdk-17.0.10.7-hotspot", "17.0.10", BIN}, {L"la\\Programs\\Zulu\\zulu-21", nullptr, BIN}},
         {}, {{L"ProgramFiles", L"$\\pf"}, {L"LOCALAPPDATA", L"$\\la"}}, L"$\\la\\Programs\\Zulu\\zulu-21", L""},
        {"the first source with an acceptable runtime wins", L"java_home;registry", {jdk17, temurin21}, {temurinKey},
         {{L"JAVA_HOME", L"$\\jdk-17.0.2"}}, L"$\\jdk-17.0.2", L""},
        {"the next source when the first has nothing acceptable", L"java_home;registry",
         {{L"jdk-11.0.2", "11.0.2", BIN}, temurin21}, {temurinKey}, {{L"JAVA_HOME", L"$\\jdk-11.0.2"}},
         L"$\\jdk-21.0.1.12-hotspot", L"Runtime source:\tregistry\r\n"},
        {"equal versions: the search order decides", L"registry",
         {{L"jre-17", "17.0.2", BIN}, {L"jdk-17", "17.0.2", BIN}},
         {machine(L"SOFTWARE\\JavaSoft\\JRE\\17.0.2", L"JavaHome", L"$\\jre-17"),
          machine(L"SOFTWARE\\JavaSoft\\JDK\\17.0.2", L"JavaHome", L"$\\jdk-17")},
         {}, L"$\\jdk-17", L"", L"17", L"", 2},
    };
    return cases;
}

std::wstring placed(const std::wstring& text, const std::wstring& folder) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'$') {
            out += folder;
        } else {
            out += c;
        }
    }
    return out;
}

class RuntimeSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const wchar_t* key : VENDOR_KEYS) {
                ASSERT_FALSE(testreg::RegistrySandbox::keyExists(hive, key))
                    << latin1(key) << " exists before the test: the search would see foreign runtimes";
            }
        }
    }
    void TearDown() override {
        registry.removeAll();
        restoreEnvironment();
        resetLaunchState();
    }

    void install(const Installed& runtime, const std::wstring& folder) {
        std::wstring home = scratch::join(folder, runtime.folder);
        std::wstring bin = runtime.layout == JRE_BIN ? home + L"\\jre\\bin" : home + L"\\bin";
        if (runtime.layout == PROGRAM_ONLY) bin = home;
        ASSERT_TRUE(e2e::makeDirectories(bin));
        if (runtime.layout != NO_PROGRAM) {
            ASSERT_TRUE(scratch::writeBytes(bin + L"\\javaw.exe", "stand-in"));
        }
        if (runtime.release != nullptr) {
            ASSERT_TRUE(scratch::writeBytes(home + L"\\release", std::string("IMPLEMENTOR=\"Test\"\nJAVA_VERSION=\"") +
                                                                     runtime.release + "\"\nOS_NAME=\"Windows\"\n"));
        }
    }
    void setVariable(const std::wstring& name, const std::wstring& value) {
        if (saved.find(name) == saved.end()) {
            wchar_t old[32767];
            DWORD n = GetEnvironmentVariableW(name.c_str(), old, 32767);
            saved[name] = {n > 0, std::wstring(old, n)};
        }
        SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    void restoreEnvironment() {
        for (const auto& [name, old] : saved) SetEnvironmentVariableW(name.c_str(), old.first ? old.second.c_str() : nullptr);
        saved.clear();
    }

    // Lays the case out in its own folder, searches, and returns the log.
    std::string run(const SourceCase& c, const std::wstring& folder, bool* found) {
        for (const Installed& runtime : c.installed) install(runtime, folder);
        for (const Key& key : c.keys) {
            EXPECT_TRUE(registry.setString(key.hive, key.path, key.value, placed(key.data, folder), key.type));
        }
        for (const auto& [name, value] : c.environment) setVariable(name, placed(value, folder));
        copyText(minVersion, NAME_CAPACITY, c.lower);
        copyText(maxVersion, NAME_CAPACITY, c.upper);
        VersionBounds bounds;
        EXPECT_TRUE(readVersionBounds(&bounds));
        RuntimeSourceList list = {};
        const wchar_t* bad = nullptr;
        size_t badLength = 0;
        EXPECT_TRUE(parseRuntimeSources(c.sources, &list, &bad, &badLength));
        LogCapture log;
        *found = searchRuntimeSources(list, c.order, bounds);
        return log.bytes();
    }

    scratch::ScratchDir scratch;
    testreg::RegistrySandbox registry;
    std::map<std::wstring, std::pair<bool, std::wstring>> saved;
};

TEST_F(RuntimeSourcesTest, ChosenRuntimeForEachLayout) {
    std::vector<SourceCase> cases = sourceCases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const SourceCase& c = cases[i];
        std::wstring folder = scratch / (L"case" + std::to_wstring(i));
        bool found = false;
        clearText(runtimeHome, PATH_CAPACITY);
        std::string log = run(c, folder, &found);

        if (c.chosen != nullptr) {
            EXPECT_TRUE(found) << c.what << "\n" << log;
            EXPECT_EQ(placed(c.chosen, folder), std::wstring(runtimeHome)) << c.what << "\n" << log;
        } else {
            EXPECT_FALSE(found) << c.what << "\n" << log;
            EXPECT_STREQ(L"", runtimeHome) << c.what;
        }
        EXPECT_NE(std::string::npos, log.find(latin1(placed(c.logged, folder)))) << c.what << "\n" << log;
        registry.removeAll();
        restoreEnvironment();
    }
}

} // namespace
