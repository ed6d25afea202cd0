// Choosing the runtime as the user meets it: the bundled runtime folder, the
// registered runtimes within the configured bounds, and the three reports
// when none can be used.
#include "launcher_fixture.h"
#include "registry_sandbox.h"

using namespace e2e;

namespace {

const wchar_t* const JRE_KEY = L"SOFTWARE\\JavaSoft\\Java Runtime Environment";
const wchar_t* const JDK_KEY = L"SOFTWARE\\JavaSoft\\Java Development Kit";
const wchar_t* const IBM_JRE_KEY = L"SOFTWARE\\IBM\\Java2 Runtime Environment";
const wchar_t* const IBM_JDK_KEY = L"SOFTWARE\\IBM\\Java Development Kit";

const wchar_t* const STARTUP_ERROR = L"An error occurred while starting the application.";
const wchar_t* const VERSION_ERROR = L"This application requires a 64 bits Java Runtime Environment";
const wchar_t* const LAUNCHER_ERROR =
    L"The registry refers to a nonexistent Java Runtime Environment installation or the runtime is corrupted.";

// Registered runtimes live in the machine's registry: every key a test creates
// is removed in TearDown, also after a failed assertion.
class RegisteredRuntimeTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        for (const wchar_t* key : {JRE_KEY, JDK_KEY, IBM_JRE_KEY, IBM_JDK_KEY}) {
            ASSERT_FALSE(testreg::RegistrySandbox::keyExists(HKEY_LOCAL_MACHINE, key))
                << narrow(key) << " exists before the test: the search would see foreign versions";
        }
    }
    void TearDown() override {
        registry.removeAll();
        LauncherTest::TearDown();
    }

    // A version subkey; with a home, its JavaHome value.
    void registerVersion(const wchar_t* familyKey, const std::wstring& version, const std::wstring& javaHome = L"") {
        std::wstring key = std::wstring(familyKey) + L"\\" + version;
        if (javaHome.empty()) {
            ASSERT_TRUE(registry.createKey(HKEY_LOCAL_MACHINE, key));
        } else {
            ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, key, L"JavaHome", javaHome));
        }
    }
    std::wstring launcherIn(const std::wstring& relativeHome) const {
        return appDir + L"\\" + relativeHome + L"\\bin\\javaw.exe";
    }
    static std::string searchLine(const wchar_t* key) {
        return "64-bit search on a 64-bit executable:\t" + narrow(key) + "...\r\n";
    }
    static std::string verdict(const char* word, const wchar_t* key, const std::wstring& name) {
        return std::string(word) + ":\t\t" + narrow(key) + "\\" + narrow(name) + "\r\n";
    }
    std::string checkLine(const std::wstring& launcher, bool ok) const {
        return "Check launcher:\t" + narrow(launcher) + (ok ? " (OK)\r\n" : " (n/a)\r\n");
    }

    testreg::RegistrySandbox registry;
};

TEST_F(RegisteredRuntimeTest, WorkedExampleStartsTheRuntimeKeysBestVersion) {
    // Every candidate has a working launcher, so only the choice decides.
    for (const wchar_t* home : {L"jre18", L"jre202", L"jre65", L"jdk18", L"jdk202"}) installRuntime(home);
    registerVersion(JRE_KEY, L"1.8", appDir + L"\\jre18");
    registerVersion(JRE_KEY, L"1.8.0_202", appDir + L"\\jre202");
    registerVersion(JRE_KEY, L"1.8.0_65", appDir + L"\\jre65");
    registerVersion(JDK_KEY, L"1.8", appDir + L"\\jdk18");
    registerVersion(JDK_KEY, L"1.8.0_202", appDir + L"\\jdk202");
    registerVersion(IBM_JRE_KEY, L"11.0.2", appDir + L"\\jre202");
    RunResult run = launch(L"--qd-debug");

    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_EQ(launcherIn(L"jre202"), child().value(L"exe"));
    std::string expected = "Bundled JRE:\tjvm\r\n" + checkLine(launcherIn(L"jvm"), false) + searchLine(JRE_KEY) +
                           verdict("Ignore", JRE_KEY, L"1.8") + verdict("Match", JRE_KEY, L"1.8.0_202") +
                           verdict("Ignore", JRE_KEY, L"1.8.0_65") + searchLine(JDK_KEY) +
                           verdict("Ignore", JDK_KEY, L"1.8") + verdict("Ignore", JDK_KEY, L"1.8.0_202") +
                           checkLine(launcherIn(L"jre202"), true);
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("\r\n" + expected)) << log;
    EXPECT_EQ(std::string::npos, log.find("IBM")) << "the IBM keys are not searched after a JavaSoft match";
}

TEST_F(RegisteredRuntimeTest, SearchOrderTwoPrefersTheDevelopmentKitsRuntime) {
    installRuntime(L"jre202");
    installRuntime(L"jdk202\\jre");
    registerVersion(JRE_KEY, L"1.8.0_202", appDir + L"\\jre202");
    // A home that already ends with a backslash gains no second one.
    registerVersion(JDK_KEY, L"1.8.0_202", appDir + L"\\jdk202\\");
    records[18] = L"2";
    launch(L"--qd-debug");

    EXPECT_EQ(launcherIn(L"jdk202\\jre"), child().value(L"exe"));
    std::string log = logBytes();
    std::string expected = searchLine(JDK_KEY) + verdict("Match", JDK_KEY, L"1.8.0_202") + searchLine(JRE_KEY) +
                           verdict("Ignore", JRE_KEY, L"1.8.0_202") + checkLine(launcherIn(L"jdk202\\jre"), true);
    EXPECT_NE(std::string::npos, log.find(expected)) << log;
}

TEST_F(RegisteredRuntimeTest, MaximumBoundIsInclusive) {
    for (const wchar_t* home : {L"jre7", L"jre80", L"jre202"}) installRuntime(home);
    registerVersion(JRE_KEY, L"1.7.0_80", appDir + L"\\jre7");
    registerVersion(JRE_KEY, L"1.8.0", appDir + L"\\jre80");
    registerVersion(JRE_KEY, L"1.8.0_202", appDir + L"\\jre202");
    records[3] = L"1.8.0";
    launch(L"--qd-debug");

    EXPECT_EQ(launcherIn(L"jre80"), child().value(L"exe"));
    std::string expected = verdict("Ignore", JRE_KEY, L"1.7.0_80") + verdict("Match", JRE_KEY, L"1.8.0") +
                           verdict("Ignore", JRE_KEY, L"1.8.0_202");
    EXPECT_NE(std::string::npos, logBytes().find(expected)) << logBytes();
}

TEST_F(RegisteredRuntimeTest, NoSuitableRuntimeShowsTheBoundsThenOpensTheDownloadPage) {
    installRuntime(L"jre7");
    registerVersion(JRE_KEY, L"1.7.0_80", appDir + L"\\jre7");
    registerVersion(IBM_JRE_KEY, L"1.9.1", appDir + L"\\jre7");
    records[3] = L"1.8.9";
    // The "download page" is a program: the shell runs it, and it leaves its record.
    std::wstring page = joinPath(testDir, L"download-page.exe");
    ASSERT_TRUE(CopyFileW(fakeRuntimePath().c_str(), page.c_str(), FALSE));
    records[21] = page;
    bool pageOpenedWhileBoxShown = false;
    RunResult run = launch(L"--qd-debug", [&](const Dialog&) {
        pageOpenedWhileBoxShown = childRan();
        return Press::Ok;
    });

    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(VERSION_ERROR) + L" 1.8.0 - 1.8.9", run.dialogs[0].text)
        << "no system text of an unrelated check is added";
    EXPECT_FALSE(pageOpenedWhileBoxShown) << "the page is opened only after the box is closed";
    ASSERT_TRUE(waitUntil([&] { return childRan(); }, 20000)) << "the download page was opened";
    EXPECT_EQ(page, child().value(L"exe")) << "no runtime was started";
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find(verdict("Ignore", JRE_KEY, L"1.7.0_80") + searchLine(JDK_KEY) +
                                          searchLine(IBM_JRE_KEY) + verdict("Ignore", IBM_JRE_KEY, L"1.9.1") +
                                          searchLine(IBM_JDK_KEY) + "Open URL:\t" + narrow(page) + "\r\n"))
        << log;
}

TEST_F(RegisteredRuntimeTest, BestMatchWithoutLauncherIsReportedAndNothingElseTried) {
    installRuntime(L"jre65");
    registerVersion(JRE_KEY, L"1.8.0_202", appDir + L"\\gone");
    registerVersion(JRE_KEY, L"1.8.0_65", appDir + L"\\jre65");
    registerVersion(IBM_JRE_KEY, L"11", appDir + L"\\jre65");
    RunResult run = launch(L"--qd-debug");

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    // The folder the registry names is not there.
    EXPECT_EQ(std::wstring(LAUNCHER_ERROR) + L"\n\n" + systemErrorText(ERROR_PATH_NOT_FOUND), run.dialogs[0].text);
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find(checkLine(launcherIn(L"gone"), false))) << log;
    EXPECT_EQ(std::string::npos, log.find(checkLine(launcherIn(L"jre65"), true))) << log;
    EXPECT_EQ(std::string::npos, log.find("IBM")) << log;
    EXPECT_EQ(std::string::npos, log.find("Open URL")) << "no download page for a broken installation";
}

TEST_F(RegisteredRuntimeTest, DevelopmentKitWithoutJreFolderIsABrokenInstallation) {
    installRuntime(L"jdk17"); // bin\javaw.exe but no jre subfolder
    registerVersion(JDK_KEY, L"17.0.1", appDir + L"\\jdk17");
    RunResult run = launch(L"--qd-debug");

    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(LAUNCHER_ERROR) + L"\n\n" + systemErrorText(ERROR_PATH_NOT_FOUND), run.dialogs[0].text);
    EXPECT_NE(std::string::npos, logBytes().find(checkLine(launcherIn(L"jdk17\\jre"), false)));
}

TEST_F(RegisteredRuntimeTest, UnreadableJavaHomeMeansNoSuitableRuntime) {
    installRuntime(L"jre");
    std::wstring home = appDir + L"\\jre";
    const std::wstring key = std::wstring(JRE_KEY) + L"\\1.8.0_202";
    struct Variant {
        const char* what;
        std::function<bool()> store;
    };
    // A string value too long for the 1024-byte buffer still names an
    // existing runtime, so a cut or overrun read would start it.
    std::wstring tooLarge = home + L"\\" + std::wstring(520 - home.size(), L'.');
    DWORD number = 1;
    const Variant variants[] = {
        {"missing", [&] { return registry.createKey(HKEY_LOCAL_MACHINE, key); }},
        {"number", [&] { return registry.setRaw(HKEY_LOCAL_MACHINE, key, L"JavaHome", REG_DWORD, &number, 4); }},
        {"binary",
         [&] {
             return registry.setRaw(HKEY_LOCAL_MACHINE, key, L"JavaHome", REG_BINARY, home.c_str(),
                                    static_cast<DWORD>((home.size() + 1) * 2));
         }},
        {"larger than 1024 bytes", [&] { return registry.setString(HKEY_LOCAL_MACHINE, key, L"JavaHome", tooLarge); }},
        {"empty", [&] { return registry.setString(HKEY_LOCAL_MACHINE, key, L"JavaHome", L""); }},
    };
    for (const Variant& variant : variants) {
        registry.removeAll();
        ASSERT_TRUE(variant.store()) << variant.what;
        RunResult run = launch();
        EXPECT_FALSE(childRan()) << variant.what;
        ASSERT_EQ(1u, run.dialogs.size()) << variant.what;
        EXPECT_EQ(std::wstring(VERSION_ERROR) + L" 1.8.0", run.dialogs[0].text) << variant.what;
    }
}

TEST_F(RegisteredRuntimeTest, RegisteredHomeTooLongForALauncherPathIsRefused) {
    registerVersion(JRE_KEY, L"1.8.0_202", L"C:\\" + std::wstring(250, L'h'));
    RunResult run = launch();

    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) + L"\n\nThe Java runtime registered under HKEY_LOCAL_MACHINE\\" + JRE_KEY +
                  L"\\1.8.0_202 is in a folder whose launcher path is longer than 259 characters.",
              run.dialogs[0].text);
}

TEST_F(RegisteredRuntimeTest, BundledRuntimeIsUsedWhateverIsRegistered) {
    installRuntime();
    installRuntime(L"jre202");
    registerVersion(JRE_KEY, L"1.8.0_202", appDir + L"\\jre202");
    launch(L"--qd-debug");

    EXPECT_EQ(launcherIn(L"jvm"), child().value(L"exe"));
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("\r\nBundled JRE:\tjvm\r\n" + checkLine(launcherIn(L"jvm"), true))) << log;
    EXPECT_EQ(std::string::npos, log.find("64-bit search")) << "the registry is not consulted";
}

// With CFG_RUNTIME_SOURCES: a runtime installed the way today's installers
// do it is found and started.
TEST_F(RegisteredRuntimeTest, ListedSourcesFindTheRuntimeUnderTheTemurinKey) {
    installRuntime(L"jdk-21.0.1.12-hotspot");
    ASSERT_TRUE(writeFileBytes(appDir + L"\\jdk-21.0.1.12-hotspot\\release", "JAVA_VERSION=\"21.0.1\"\n"));
    ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI",
                                   L"Path", appDir + L"\\jdk-21.0.1.12-hotspot\\"));
    records[2] = L"17";
    records[31] = L"registry;java_home";
    RunResult run = launch(L"--qd-debug");

    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(launcherIn(L"jdk-21.0.1.12-hotspot"), child().value(L"exe"));
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("\r\nRuntime source:\tregistry\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("Runtime chosen:\t" + narrow(appDir) + "\\jdk-21.0.1.12-hotspot, version 21.0.1\r\n"))
        << log;
    EXPECT_EQ(std::string::npos, log.find("java_home")) << "the first source that yields a runtime ends the search";
}

// Runtimes whose program is built for x86, or for ARM64 on this x64
// computer, are passed over for a lower version built for x64.
TEST_F(RegisteredRuntimeTest, ListedSourcesStartOnlyARuntimeBuiltForThisComputer) {
    const std::pair<const wchar_t*, WORD> installed[] = {
        {L"22", IMAGE_FILE_MACHINE_I386}, {L"21.0.1", IMAGE_FILE_MACHINE_ARM64}, {L"17.0.2", IMAGE_FILE_MACHINE_AMD64}};
    for (const auto& [version, machine] : installed) {
        installRuntime(version);
        ASSERT_TRUE(writeFileBytes(launcherIn(version), standInBuiltFor(machine)));
        ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\JavaSoft\\JDK\\") + version,
                                       L"JavaHome", appDir + L"\\" + version));
    }
    records[2] = L"17";
    records[31] = L"registry";
    RunResult run = launch();

    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_EQ(launcherIn(L"17.0.2"), child().value(L"exe"));
}

// Today's vendors register development kits only: with runtime sources and
// no CFG_SEARCH_ORDER the development-kit keys are searched too.
TEST_F(RegisteredRuntimeTest, ListedSourcesFindAnInstalledDevelopmentKitWithoutSearchOrder) {
    installRuntime(L"jdk-21");
    ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\JavaSoft\\JDK\\21.0.1", L"JavaHome",
                                   appDir + L"\\jdk-21"));
    records[2] = L"17";
    records[31] = L"registry;java_home";
    records.erase(18);
    RunResult run = launch();

    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_EQ(launcherIn(L"jdk-21"), child().value(L"exe"));
}

TEST_F(RegisteredRuntimeTest, ListedSourcesNamedWhenNothingSuitsAndAStrippedBundledRuntimeIsLogged) {
    // The bundled folder holds a runtime image without its program.
    ASSERT_TRUE(makeDirectories(appDir + L"\\jvm\\bin"));
    installRuntime(L"jdk-11");
    ASSERT_TRUE(writeFileBytes(appDir + L"\\jdk-11\\release", "JAVA_VERSION=\"11.0.2\"\n"));
    environment[L"JAVA_HOME"] = appDir + L"\\jdk-11";
    records[2] = L"17";
    records[31] = L"registry;java_home";
    records.erase(21);
    RunResult run = launch(L"--qd-debug");

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(VERSION_ERROR) + L" 17\nSearched: registry, java_home", run.dialogs[0].text);
    std::string log = logBytes();
    EXPECT_NE(std::string::npos, log.find("Bundled JRE:\t" + narrow(appDir) + "\\jvm has no bin\\javaw.exe")) << log;
    EXPECT_NE(std::string::npos, log.find("Runtime ignored:\tJAVA_HOME = " + narrow(appDir) +
                                          "\\jdk-11: version 11.0.2 is below the minimum 17\r\n"))
        << log;
}

// The configured runtime folder, with no registry search needed.
TEST_F(LauncherTest, ConfiguredRuntimeFolderIsExpandedAndMayBeAbsolute) {
    installRuntime(L"runtimes\\java");
    installRuntime(L".");
    environment[L"QDTEST_RUNTIME_PARENT"] = appDir + L"\\runtimes";
    struct Row {
        std::wstring configured;
        std::wstring bundledLine; // the expanded text
        std::wstring checked;     // the launcher path tested
    };
    const Row rows[] = {
        {L"%EXEDIR%\\runtimes\\java", appDir + L"\\runtimes\\java", appDir + L"\\runtimes\\java\\bin\\javaw.exe"},
        {L"%QDTEST_RUNTIME_PARENT%\\java", appDir + L"\\runtimes\\java",
         appDir + L"\\runtimes\\java\\bin\\javaw.exe"},
        {L"runtimes\\java\\", L"runtimes\\java\\", appDir + L"\\runtimes\\java\\bin\\javaw.exe"},
        {L"", L"", appDir + L"\\bin\\javaw.exe"}, // empty: the executable's own folder
    };
    for (const Row& row : rows) {
        records[1] = row.configured;
        prepareLauncher();
        ASSERT_TRUE(stampRecords(exePath(), records));
        DeleteFileW(logPath().c_str());
        launch(L"--qd-debug");

        EXPECT_EQ(row.checked, child().value(L"exe")) << narrow(row.configured);
        std::string expected = "Bundled JRE:\t" + narrow(row.bundledLine) + "\r\nCheck launcher:\t" +
                               narrow(row.checked) + " (OK)\r\n";
        EXPECT_NE(std::string::npos, logBytes().find(expected)) << logBytes();
    }
}

TEST_F(LauncherTest, ConfiguredRuntimeFolderTooLongIsRefusedWithoutRegistrySearch) {
    records[1] = L"%EXEDIR%\\" + std::wstring(240, L'r');
    RunResult run = launch(L"--qd-debug");

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(childRan());
    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(std::wstring(STARTUP_ERROR) +
                  L"\n\nThe configured Java runtime folder, expanded and joined to the application's folder, "
                  L"gives a launcher path longer than 259 characters.",
              run.dialogs[0].text);
    EXPECT_EQ(std::string::npos, logBytes().find("64-bit search"));
}

TEST_F(LauncherTest, MissingBundledRuntimeWithoutLowerBoundNeverSearchesTheRegistry) {
    records.erase(1);
    records.erase(2);
    RunResult run = launch(L"--qd-debug");

    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"This application was configured to use a bundled Java Runtime Environment but the runtime is "
              L"missing or corrupted.",
              run.dialogs[0].text);
    std::string log = logBytes();
    EXPECT_EQ(std::string::npos, log.find("Bundled JRE")) << log;
    EXPECT_NE(std::string::npos, log.find("\r\nCheck launcher:\t (n/a)\r\n")) << log;
    EXPECT_EQ(std::string::npos, log.find("64-bit search")) << log;
}

} // namespace
