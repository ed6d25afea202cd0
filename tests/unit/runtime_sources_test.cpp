#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../support/registry_sandbox.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "log_capture.h"
#include "runtime/runtime_sources.h"
#include "scratch_files.h"

namespace {

using e2e::latin1;

TEST(RuntimeSourceList, WordsSeparatedBySemicolons) {
    const std::pair<const wchar_t*, const char*> valid[] = {
        {L"registry;java_home", "registry,java_home,"},
        {L" Registry ; PATH\t;folders", "registry,path,folders,"},
        {L"path;registry;path", "path,registry,"},
    };
    for (const auto& [text, words] : valid) {
        RuntimeSourceList list = {};
        const wchar_t* bad = nullptr;
        size_t badLength = 0;
        ASSERT_TRUE(parseRuntimeSources(text, &list, &bad, &badLength)) << latin1(text);
        std::string read;
        for (size_t i = 0; i < list.count; ++i) read += latin1(runtimeSourceWord(list.items[i])) + ",";
        EXPECT_EQ(words, read);
    }
    const std::pair<const wchar_t*, const char*> refused[] = {{L"registry;;path", ""}, {L"", ""}, {L"registry;jvm", "jvm"}};
    for (const auto& [text, item] : refused) {
        RuntimeSourceList list = {};
        const wchar_t* bad = nullptr;
        size_t badLength = 0;
        ASSERT_FALSE(parseRuntimeSources(text, &list, &bad, &badLength)) << latin1(text);
        EXPECT_EQ(item, latin1(std::wstring(bad, badLength)));
    }
}

TEST(RuntimeMachineList, WordsInOrderOfPreference) {
    const struct {
        const wchar_t* text;
        std::vector<WORD> machines; // empty: refused
        const char* bad;
        bool repeated;
    } rows[] = {
        {L"x64", {IMAGE_FILE_MACHINE_AMD64}, "", false},
        {L" ARM64 ; x64", {IMAGE_FILE_MACHINE_ARM64, IMAGE_FILE_MACHINE_AMD64}, "", false},
        {L"x64;;arm64", {}, "", false},
        {L"arm64;x86", {}, "x86", false},
        {L"x64;arm64;X64", {}, "X64", true},
    };
    for (const auto& row : rows) {
        RuntimeMachines machines = {};
        const wchar_t* bad = nullptr;
        size_t badLength = 0;
        bool repeated = false;
        bool ok = parseRuntimeMachines(row.text, &machines, &bad, &badLength, &repeated);
        EXPECT_EQ(!row.machines.empty(), ok) << latin1(row.text);
        if (ok) {
            EXPECT_EQ(row.machines, std::vector<WORD>(machines.preferred, machines.preferred + machines.count));
        } else {
            EXPECT_EQ(row.bad, latin1(std::wstring(bad, badLength))) << latin1(row.text);
            EXPECT_EQ(row.repeated, repeated) << latin1(row.text);
        }
    }
}

TEST(RuntimeMachineList, RankOrRefusal) {
    const WORD X64 = IMAGE_FILE_MACHINE_AMD64, ARM64 = IMAGE_FILE_MACHINE_ARM64;
    const RuntimeMachines armOnly = {{ARM64}, 1, ARM64};
    const RuntimeMachines unknownComputer = {{ARM64, X64}, 2, 0};
    const RuntimeMachines x64OnArm = {{X64}, 1, ARM64};
    const struct {
        WORD machine;
        const RuntimeMachines& machines;
        int rank;
        const char* reason;
    } rows[] = {
        {X64, armOnly, 1, ""}, // x64 is always accepted, after the listed machines
        {ARM64, x64OnArm, MACHINE_REFUSED,
         "its program is built for ARM64, and this application accepts only x64 runtimes (CFG_RUNTIME_MACHINES)"},
        // A computer that does not say (before Windows 10 1511) is not ARM64.
        {ARM64, unknownComputer, MACHINE_REFUSED, "its program is built for ARM64, and this computer is x64"},
        {IMAGE_FILE_MACHINE_I386, armOnly, MACHINE_REFUSED,
         "its program is built for x86, a 32-bit runtime, and the launcher starts only 64-bit runtimes"},
        {IMAGE_FILE_MACHINE_ARMNT, armOnly, MACHINE_REFUSED,
         "its program is built for another kind of computer (machine type 0x01C4), and this computer is ARM64"},
    };
    for (const auto& row : rows) {
        const wchar_t* reason = L"";
        EXPECT_EQ(row.rank, rankRuntimeMachine(row.machine, row.machines, &reason)) << row.machine;
        EXPECT_EQ(row.reason, latin1(reason)) << row.machine;
    }
}

TEST(RuntimeSourceList, ABoundThatIsNoVersionRefusesTheLaunch) {
    resetLaunchState();
    copyText(messageText, MESSAGE_CAPACITY, L"Start-up failed.");
    copyText(minVersion, NAME_CAPACITY, L"Java 17");
    VersionBounds bounds;
    EXPECT_FALSE(readVersionBounds(&bounds));
    EXPECT_STREQ(L"Start-up failed.\n\nThe launcher's configuration is damaged: CFG_MIN_VERSION \"Java 17\" is not a "
                 L"Java version.",
                 messageText);
    resetLaunchState();
}

// Keys that a test of the registry source must find empty, in both hives.
const wchar_t* const VENDOR_KEYS[] = {
    L"SOFTWARE\\JavaSoft",   L"SOFTWARE\\Eclipse Adoptium", L"SOFTWARE\\Eclipse Foundation", L"SOFTWARE\\AdoptOpenJDK",
    L"SOFTWARE\\Semeru",     L"SOFTWARE\\Microsoft\\JDK",   L"SOFTWARE\\Microsoft\\JRE",     L"SOFTWARE\\Azul Systems",
    L"SOFTWARE\\BellSoft",   L"SOFTWARE\\SapMachine",       L"SOFTWARE\\IBM",
};

// A stand-in installation below the case's folder: its program where the
// layout puts it (the headers of one built for `machine`; 0: a text file),
// and a release file when a version is given.
enum Layout { BIN, JRE_BIN, PROGRAM_ONLY, NO_PROGRAM, PROGRAM_FOLDER };
struct Installed {
    std::wstring folder;
    const char* release;
    Layout layout;
    WORD machine = IMAGE_FILE_MACHINE_AMD64;
};
// A registry value; "$" in texts stands for the case's folder.
struct Key {
    HKEY hive;
    std::wstring path, value, data;
    DWORD type;
};
Key machine(const std::wstring& path, const std::wstring& value, const std::wstring& data, DWORD type = REG_SZ) {
    return {HKEY_LOCAL_MACHINE, path, value, data, type};
}

struct SourceCase {
    const char* what;
    const wchar_t* sources;
    std::vector<Installed> installed;
    std::vector<Key> keys;
    std::map<std::wstring, std::wstring> environment;
    const wchar_t* chosen; // runtimeHome afterwards; nullptr: nothing acceptable
    std::wstring logged;   // a piece of the log, found once
    const wchar_t* lower = L"17";
    const wchar_t* upper = L"";
    int order = 1;
    const wchar_t* machines = L"x64"; // CFG_RUNTIME_MACHINES
    WORD computer = IMAGE_FILE_MACHINE_AMD64;
};

const std::wstring TEMURIN_21 = L"SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI";

std::vector<SourceCase> sourceCases() {
    const Installed temurin21 = {L"jdk-21", "21.0.1", BIN};
    const Installed jdk17 = {L"jdk-17", "17.0.2", BIN};
    const Key temurinKey = machine(TEMURIN_21, L"Path", L"$\\jdk-21\\");
    const Key oracle8 = machine(L"SOFTWARE\\JavaSoft\\Java Development Kit\\1.8.0_202", L"JavaHome", L"$\\jdk8");
    return {
        {"Temurin, its own key only", L"registry", {temurin21}, {temurinKey}, {}, L"$\\jdk-21",
         L"Runtime chosen:\t$\\jdk-21, version 21.0.1\r\n"},
        {"Temurin with the JavaSoft keys: one home under three keys", L"registry", {temurin21},
         {temurinKey, machine(L"SOFTWARE\\JavaSoft\\JDK\\21", L"JavaHome", L"$\\jdk-21\\"),
          machine(L"SOFTWARE\\JavaSoft\\JDK\\21.0.1.12", L"JavaHome", L"$\\jdk-21")},
         {}, L"$\\jdk-21", L"Runtime ignored:\tHKLM\\" + TEMURIN_21 + L" = $\\jdk-21\\: the same folder was already looked at"},
        {"Temurin installed for one user", L"registry", {temurin21},
         {{HKEY_CURRENT_USER, L"SOFTWARE\\Eclipse Adoptium\\JRE\\21.0.1.12\\hotspot\\MSI", L"Path", L"$\\jdk-21\\", REG_SZ}},
         {}, L"$\\jdk-21", L""},
        {"Oracle 8 (JDK 8 layout) and Oracle 21 side by side, at most 1.8", L"registry",
         {{L"jdk8", "1.8.0_202", JRE_BIN}, {L"jdk-21.0.1", "21.0.1", BIN}},
         {oracle8, machine(L"SOFTWARE\\JavaSoft\\JDK\\21.0.1", L"JavaHome", L"$\\jdk-21.0.1")}, {}, L"$\\jdk8\\jre",
         L"version 21.0.1 is above the maximum 1.8", L"1.8", L"1.8"},
        {"Zulu: the version in the key name, development kits only", L"registry",
         {{L"zulu-17", nullptr, BIN}, {L"zulu-21-jre", nullptr, BIN}},
         {machine(L"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", L"InstallationPath", L"$\\zulu-17\\"),
          machine(L"SOFTWARE\\Azul Systems\\Zulu\\zulu-21-jre", L"InstallationPath", L"$\\zulu-21-jre\\")},
         {}, L"$\\zulu-17", L"version zulu-17 (no release file) in", L"17", L"", 3},
        {"Liberica", L"registry", {jdk17}, {machine(L"SOFTWARE\\BellSoft\\Liberica\\jdk-17", L"InstallationPath", L"$\\jdk-17")},
         {}, L"$\\jdk-17", L""},
        {"SapMachine", L"registry", {jdk17}, {machine(L"SOFTWARE\\SapMachine\\JDK\\17.0.2", L"JavaHome", L"$\\jdk-17\\")}, {},
         L"$\\jdk-17", L""},
        {"Microsoft", L"registry", {jdk17}, {machine(L"SOFTWARE\\Microsoft\\JDK\\17.0.2.1\\hotspot\\MSI", L"Path", L"$\\jdk-17\\")},
         {}, L"$\\jdk-17", L""},
        {"a stale key, a folder without the program, and a runtime", L"registry", {jdk17, {L"jre-22", "22", NO_PROGRAM}},
         {machine(L"SOFTWARE\\JavaSoft\\JDK\\22", L"JavaHome", L"$\\jdk-22"),
          machine(L"SOFTWARE\\JavaSoft\\JRE\\22", L"JavaHome", L"$\\jre-22"),
          machine(L"SOFTWARE\\JavaSoft\\JDK\\17.0.2", L"JavaHome", L"$\\jdk-17")},
         {}, L"$\\jdk-17", L"HKLM\\SOFTWARE\\JavaSoft\\JDK\\22 = $\\jdk-22: the folder does not exist (a stale entry)"},
        {"an expandable home with a trailing backslash", L"registry", {jdk17},
         {machine(L"SOFTWARE\\JavaSoft\\JDK\\17.0.2", L"JavaHome", L"%QDU_JDKS%\\jdk-17\\", REG_EXPAND_SZ)},
         {{L"QDU_JDKS", L"$"}}, L"$\\jdk-17", L""},
        {"JAVA_HOME, quoted and with a trailing backslash", L"java_home", {jdk17}, {}, {{L"JAVA_HOME", L"\"$\\jdk-17\\\""}},
         L"$\\jdk-17", L""},
        {"Path, past a javapath stub", L"path", {{L"javapath", nullptr, PROGRAM_ONLY}, jdk17}, {},
         {{L"Path", L"$\\javapath;$\\jdk-17\\bin"}}, L"$\\jdk-17",
         L"Path = $\\javapath: a stub folder whose programs only forward to a registered runtime"},
        {"install folders, machine-wide and per user: the highest", L"folders",
         {{L"pf\\Eclipse Adoptium\\jdk-17.0.10.7-hotspot", "17.0.10", BIN}, {L"la\\Programs\\Zulu\\zulu-21", nullptr, BIN}},
         {}, {{L"ProgramFiles", L"$\\pf"}, {L"LOCALAPPDATA", L"$\\la"}}, L"$\\la\\Programs\\Zulu\\zulu-21", L""},
        {"the first source with an acceptable runtime wins", L"java_home;registry", {jdk17, temurin21}, {temurinKey},
         {{L"JAVA_HOME", L"$\\jdk-17"}}, L"$\\jdk-17", L""},
        {"a source with nothing acceptable does not win", L"java_home;registry", {{L"jdk-11", "11.0.2", BIN}, temurin21},
         {temurinKey}, {{L"JAVA_HOME", L"$\\jdk-11"}}, L"$\\jdk-21", L"version 11.0.2 is below the minimum 17"},
        {"a folder named like the program", L"java_home", {{L"jdk-17", "17.0.2", PROGRAM_FOLDER}}, {},
         {{L"JAVA_HOME", L"$\\jdk-17"}}, nullptr, L"JAVA_HOME = $\\jdk-17: no bin\\javaw.exe (nor jre\\bin\\javaw.exe)"},
        {"a program without a Windows program header", L"java_home", {{L"jdk-17", "17.0.2", BIN, 0}}, {},
         {{L"JAVA_HOME", L"$\\jdk-17"}}, nullptr, L"JAVA_HOME = $\\jdk-17: its program has no readable Windows program header"},
        {"Path: a folder on a network share is left alone when a local one has a runtime", L"path", {jdk17}, {},
         {{L"Path", L"\\\\qdtest-nowhere\\share\\bin;$\\jdk-17\\bin"}}, L"$\\jdk-17",
         L"Path = \\\\qdtest-nowhere\\share\\bin: on a network share, not looked at since another Path folder has a runtime"},
        {"development kits left out by the search order are named", L"registry", {}, {oracle8,
          machine(L"SOFTWARE\\JavaSoft\\JDK\\21", L"JavaHome", L"$\\jdk-21")}, {}, nullptr,
         L"\r\nRuntime keys skipped:\tHKLM\\SOFTWARE\\JavaSoft holds development kits (JDK), which CFG_SEARCH_ORDER 0 "
         L"leaves out\r\n", L"17", L"", 0},
        // On an ARM64 computer the preferred machine wins before the version.
        {"ARM64 computer, arm64;x64: the native runtime before a higher x64 one", L"folders",
         {{L"pf\\Java\\jdk-21", "21.0.1", BIN}, {L"pf\\Java\\jdk-17-arm", "17.0.2", BIN, IMAGE_FILE_MACHINE_ARM64}}, {},
         {{L"ProgramFiles", L"$\\pf"}, {L"LOCALAPPDATA", L"$\\none"}}, L"$\\pf\\Java\\jdk-17-arm",
         L"version 17.0.2 in $\\pf\\Java\\jdk-17-arm (ARM64)\r\n", L"17", L"", 1, L"arm64;x64", IMAGE_FILE_MACHINE_ARM64},
    };
}

std::wstring placed(std::wstring text, const std::wstring& folder) {
    for (size_t at = text.find(L'$'); at != std::wstring::npos; at = text.find(L'$', at + folder.size())) {
        text.replace(at, 1, folder);
    }
    return text;
}

class RuntimeSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const wchar_t* key : VENDOR_KEYS) {
                ASSERT_FALSE(testreg::RegistrySandbox::keyExists(hive, key)) << latin1(key) << " exists before the test";
            }
        }
    }
    void TearDown() override {
        registry.removeAll();
        restoreEnvironment();
        resetLaunchState();
    }

    void install(const Installed& runtime, const std::wstring& home) {
        std::wstring bin = runtime.layout == PROGRAM_ONLY ? home : home + (runtime.layout == JRE_BIN ? L"\\jre\\bin" : L"\\bin");
        ASSERT_TRUE(e2e::makeDirectories(bin));
        if (runtime.layout == PROGRAM_FOLDER) {
            ASSERT_TRUE(e2e::makeDirectories(bin + L"\\javaw.exe"));
        } else if (runtime.layout != NO_PROGRAM) {
            std::string program = runtime.machine == 0 ? "not a program" : e2e::standInBuiltFor(runtime.machine);
            ASSERT_TRUE(scratch::writeBytes(bin + L"\\javaw.exe", program.substr(0, 1024)));
        }
        if (runtime.release != nullptr) {
            ASSERT_TRUE(scratch::writeBytes(home + L"\\release", std::string("JAVA_VERSION=\"") + runtime.release + "\"\n"));
        }
    }
    void setVariable(const std::wstring& name, const std::wstring& value) {
        if (saved.count(name) == 0) {
            static wchar_t old[32767];
            DWORD n = GetEnvironmentVariableW(name.c_str(), old, 32767);
            saved[name] = {n > 0, std::wstring(old, n)};
        }
        SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    void restoreEnvironment() {
        for (const auto& [name, old] : saved) SetEnvironmentVariableW(name.c_str(), old.first ? old.second.c_str() : nullptr);
        saved.clear();
    }

    // Lays the case out in `folder`, searches, and returns the log.
    std::string search(const SourceCase& c, const std::wstring& folder, bool* found) {
        for (const Installed& runtime : c.installed) install(runtime, scratch::join(folder, runtime.folder));
        for (const Key& k : c.keys) EXPECT_TRUE(registry.setString(k.hive, k.path, k.value, placed(k.data, folder), k.type));
        for (const auto& [name, value] : c.environment) setVariable(name, placed(value, folder));
        copyText(minVersion, NAME_CAPACITY, c.lower);
        copyText(maxVersion, NAME_CAPACITY, c.upper);
        VersionBounds bounds;
        EXPECT_TRUE(readVersionBounds(&bounds));
        RuntimeSourceList list = {};
        const wchar_t* bad = nullptr;
        size_t badLength = 0;
        EXPECT_TRUE(parseRuntimeSources(c.sources, &list, &bad, &badLength));
        RuntimeMachines machines = {};
        bool repeated = false;
        EXPECT_TRUE(parseRuntimeMachines(c.machines, &machines, &bad, &badLength, &repeated));
        machines.computer = c.computer;
        LogCapture log;
        *found = searchRuntimeSources(list, c.order, bounds, machines);
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
        std::string log = search(c, folder, &found);

        EXPECT_EQ(c.chosen != nullptr, found) << c.what << "\n" << log;
        EXPECT_EQ(c.chosen != nullptr ? placed(c.chosen, folder) : L"", std::wstring(runtimeHome)) << c.what << "\n" << log;
        const std::string logged = latin1(placed(c.logged, folder));
        EXPECT_NE(std::string::npos, log.find(logged)) << c.what << "\n" << log;
        if (!logged.empty()) {
            EXPECT_EQ(log.find(logged), log.rfind(logged)) << c.what << ": logged once\n" << log;
        }
        registry.removeAll();
        restoreEnvironment();
    }
}

} // namespace
