// The command line the Java runtime receives: the shipped configuration, the
// classpath with wildcard items, the jar form, the module form, the fixed and
// the user's arguments, and the refusal of anything that does not fit.
#include "cmdline_fixture.h"

#include <vector>

using namespace e2e;
using namespace cmdline;

namespace {

TEST_F(CommandLineTest, ShippedConfigurationGivesTheDocumentedCommandLine) {
    RunResult run = launch(L"--qd-debug report.xml", [](const Dialog&) { return Press::Yes; });
    EXPECT_EQ(0u, run.exitCode);
    std::string log = logBytes();

    // The -Xmx figure follows from the free memory the log shows.
    long long freeMb = numberAfter(log, "max:4096 , Free: ");
    long long heapMb = numberAfter(log, "Heap -Xmx:\t min:512 MB pref:2048 max:4096 , Free: " +
                                            std::to_string(freeMb) + " MB, Heap size: ");
    ASSERT_GT(freeMb, 0) << log;
    HeapRange allowed = maxHeapRange(freeMb, 4096);
    EXPECT_GE(heapMb, allowed.low) << log;
    EXPECT_LE(heapMb, allowed.high) << log;
    if (allowed.high < 2048) EXPECT_EQ(1u, run.dialogs.size()) << "little memory here: the question came first";
    if (allowed.low >= 2048) EXPECT_TRUE(run.dialogs.empty());

    std::wstring expected = L"-Xmx" + std::to_wstring(heapMb) +
                            L"m -Djava.system.class.loader=com.example.demo.DemoClassLoader"
                            L" -Dqdlauncher.exedir=\"" + appDir + L"\""
                            L" -Dqdlauncher.exefile=\"" + exePath() + L"\""
                            L" -classpath \"lib;lib\\common-ui.jar\" com.example.demo.Main report.xml";
    EXPECT_EQ(L"\"" + javawPath() + L"\" " + expected, child().value(L"commandline"));

    EXPECT_TRUE(contains(log, "\r\nAdd classpath:\tlib\r\nAdd classpath:\tlib\\common-ui.jar\r\n"
                              "Launcher:\t" + narrow(javawPath()) + "\r\n"
                              "Launcher args:\t" + narrow(expected) + "\r\n"
                              "Args length:\t" + std::to_string(expected.size()) + "/32768 chars\r\n"))
        << log;
}

TEST_F(CommandLineTest, WildcardItemAddsEveryMatchingJarAfterTheJar) {
    plainRecords();
    records[14] = L"app.jar";
    records[16] = L"lib\\*.jar";
    makeFile(L"lib\\a.jar");
    makeFile(L"lib\\b.jar");
    makeFile(L"lib\\readme.txt");
    launch(L"--qd-debug");

    EXPECT_EQ(L"-classpath \"app.jar;lib\\a.jar;lib\\b.jar\" com.example.demo.Main", childArgs());
    std::string log = logBytes();
    EXPECT_TRUE(contains(log, "\r\nAdd classpath:\tlib\\*.jar\r\n"
                              "      \"      :\tlib\\a.jar\r\n"
                              "      \"      :\tlib\\b.jar\r\n"
                              "Launcher:\t"))
        << log;
}

// "%%" is one percent sign, and a sign without a partner arrives as written
// with everything after it: the runtime itself replaces the %p of its
// ErrorFile option.
TEST_F(CommandLineTest, PercentSignsOutsideReferencesArriveInTheJvmOptions) {
    plainRecords();
    records[12] = L"-Dwidth=100%% -Dhome=%EXEDIR% -XX:ErrorFile=hs_err_pid%p.log -Dlater=1";
    launch();
    EXPECT_EQ(L"-Dwidth=100% -Dhome=" + appDir +
                  L" -XX:ErrorFile=hs_err_pid%p.log -Dlater=1 -classpath \"lib;lib\\common-ui.jar\" " + MAIN_CLASS,
              childArgs());
}

TEST_F(CommandLineTest, ClasspathFormsWithoutEntries) {
    struct Case {
        const char* what;
        const wchar_t* jar;
        const wchar_t* classpath;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"no jar in lib: the separator after the jar goes again", L"app.jar", L"lib\\*.jar",
         L"-classpath \"app.jar\" com.example.demo.Main"},
        {"a classpath that expands to nothing adds no separator", L"app.jar", L"%QDTEST_NOT_SET_ANYWHERE%",
         L"-classpath \"app.jar\" com.example.demo.Main"},
        {"no jar and no entry: an empty classpath", nullptr, L"lib\\*.jar", L"-classpath \"\" com.example.demo.Main"},
        {"runs of separators count as one", nullptr, L";;lib;;", L"-classpath \"lib\" com.example.demo.Main"},
        {"items with spaces get no quotes of their own", nullptr, L"D:\\My Libs\\x.jar;lib",
         L"-classpath \"D:\\My Libs\\x.jar;lib\" com.example.demo.Main"},
        {"a last item's backslashes are doubled, so the quote still ends the list", nullptr, L"C:\\x\\;lib;classes\\",
         L"-classpath \"C:\\x\\;lib;classes\\\\\" com.example.demo.Main"},
    };
    for (const Case& c : cases) {
        SetUp();
        plainRecords();
        if (c.jar != nullptr) records[14] = c.jar;
        records[16] = c.classpath;
        ASSERT_TRUE(makeDirectories(joinPath(appDir, L"lib")));
        launch();
        EXPECT_EQ(c.expected, childArgs()) << c.what;
    }
}

TEST_F(CommandLineTest, StarItemTakesDirectoriesAndDotEntriesInSearchOrder) {
    plainRecords();
    records[16] = L"lib\\*";
    makeFile(L"lib\\a.jar");
    makeFile(L"lib\\classes\\x.class");
    launch();

    std::wstring classpath;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(joinPath(appDir, L"lib\\*").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    do classpath += (classpath.empty() ? L"lib\\" : L";lib\\") + std::wstring(entry.cFileName);
    while (FindNextFileW(find, &entry));
    FindClose(find);
    EXPECT_NE(std::wstring::npos, classpath.find(L"lib\\.;lib\\..;")) << narrow(classpath);
    EXPECT_NE(std::wstring::npos, classpath.find(L"lib\\classes"));
    EXPECT_EQ(L"-classpath \"" + classpath + L"\" com.example.demo.Main", childArgs());
}

TEST_F(CommandLineTest, WildcardWithoutFolderNamesEntriesOfTheWorkingDirectory) {
    plainRecords();
    records[16] = L"*.jar;lib";
    makeFile(L"main.jar");
    makeFile(L"lib\\other.jar");
    launch();
    EXPECT_EQ(L"-classpath \"main.jar;lib\" com.example.demo.Main", childArgs());
    EXPECT_EQ(appDir, child().value(L"cwd")) << "the child resolves the bare name where the search did";
}

TEST_F(CommandLineTest, WildcardWithSlashesKeepsItsFolder) {
    plainRecords();
    records[16] = L"lib/*.jar";
    makeFile(L"lib\\a.jar");
    launch();
    EXPECT_EQ(L"-classpath \"lib/a.jar\" com.example.demo.Main", childArgs());
}

TEST_F(CommandLineTest, ClasspathVariablesAreExpandedBeforeSplitting) {
    plainRecords();
    records[16] = L"%QDTEST_LIBS%;%EXEDIR%\\lib\\*.jar";
    environment[L"QDTEST_LIBS"] = L"x.jar;;y.jar";
    makeFile(L"lib\\a.jar");
    launch();
    EXPECT_EQ(L"-classpath \"x.jar;y.jar;" + appDir + L"\\lib\\a.jar\" com.example.demo.Main", childArgs());
}

TEST_F(CommandLineTest, JarInExeLeadsTheClasspath) {
    plainRecords();
    records[14] = L"ignored.jar";
    records[17] = L"true";
    launch();
    EXPECT_EQ(L"-classpath \"" + exePath() + L";lib;lib\\common-ui.jar\" com.example.demo.Main", childArgs());
}

TEST_F(CommandLineTest, JarFormWithoutMainClass) {
    // What follows "-jar " for the executable's folder `dir` and path `exe`.
    struct Case {
        const char* what;
        const wchar_t* jar;
        bool jarInExe;
        std::wstring (*expected)(const std::wstring& dir, const std::wstring& exe);
    };
    const Case cases[] = {
        {"the jar next to the executable", L"app.jar", false,
         [](const std::wstring& dir, const std::wstring&) { return L"\"" + dir + L"\\app.jar\""; }},
        {"the executable itself", L"app.jar", true,
         [](const std::wstring&, const std::wstring& exe) { return L"\"" + exe + L"\""; }},
        {"an absolute jar is still put after the folder", L"C:\\app.jar", false,
         [](const std::wstring& dir, const std::wstring&) { return L"\"" + dir + L"\\C:\\app.jar\""; }},
        {"no jar at all: the folder's backslash doubled, so the user's arguments stay apart", nullptr, false,
         [](const std::wstring& dir, const std::wstring&) { return L"\"" + dir + L"\\\\\""; }},
    };
    for (const Case& c : cases) {
        SetUp();
        plainRecords();
        records.erase(15);
        records[16] = L"never-read;*.jar";
        if (c.jar != nullptr) records[14] = c.jar;
        if (c.jarInExe) records[17] = L"true";
        launch(L"--qd-debug");
        EXPECT_EQ(L"-jar " + c.expected(appDir, exePath()), childArgs()) << c.what;
        EXPECT_FALSE(contains(logBytes(), "Add classpath")) << c.what;
    }
}

// A modular application opened through a file association: the launcher
// starts in the document's folder, not its own.
TEST_F(CommandLineTest, ModuleFormFindsItsModulesFromAnyWorkingDirectory) {
    plainRecords();
    records.erase(8);
    records[14] = L"ignored.jar";
    records[17] = L"true";
    records[16] = L"%EXEDIR%\\legacy.jar";
    records[32] = L"com.example.app/com.example.app.Main";
    records[33] = L"mods";
    launch(L"report.xml");
    EXPECT_EQ(L"-classpath \"" + appDir + L"\\legacy.jar\" --module-path \"" + appDir +
                  L"\\mods\" -m com.example.app/com.example.app.Main report.xml",
              childArgs());
    EXPECT_EQ(testDir, child().value(L"cwd"));
}

TEST_F(CommandLineTest, ModuleFormWithoutModulePathItems) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {nullptr, L"-m app"},        // a module linked into the runtime
        {L"mods\\*.jar", L"-m app"}, // no empty module path, which Java reads as the current folder
    };
    for (const auto& [modulePath, expected] : cases) {
        SetUp();
        plainRecords();
        records.erase(16);
        records[32] = L"app";
        if (modulePath != nullptr) records[33] = modulePath;
        launch();
        EXPECT_EQ(expected, childArgs());
    }
    SetUp();
    plainRecords();
    records[32] = L"";
    expectRefusal(launch(),
                  std::wstring(STARTUP_ERROR) + L"\n\nThe launcher's configuration is damaged: CFG_MODULE is empty.");
}

TEST_F(CommandLineTest, FixedArgumentsThenTheUsersLessTheSwitches) {
    plainRecords();
    records[13] = L"--mode fast --qd-kept %EXEDIR%";
    launch(L"--qd-stdout  report.xml \"D:\\My --qd-x Dir\\f.txt\"");
    EXPECT_EQ(L"-classpath \"lib;lib\\common-ui.jar\" com.example.demo.Main --mode fast --qd-kept %EXEDIR%"
              L"  report.xml \"D:\\My Dir\\f.txt\"",
              childArgs());
}

TEST_F(CommandLineTest, OnlySwitchesGiveNoUserArguments) {
    plainRecords();
    launch(L"--qd-debug --qd-stdout");
    EXPECT_EQ(L"-classpath \"lib;lib\\common-ui.jar\" com.example.demo.Main", childArgs());
}

TEST_F(CommandLineTest, MainClassWithoutClasspathStopsWithTheStartupMessage) {
    plainRecords();
    records.erase(16);
    RunResult run = launch(L"--qd-debug");
    expectRefusal(run, STARTUP_ERROR);
    std::string log = logBytes();
    EXPECT_FALSE(contains(log, "Launcher args:")) << log;
}

TEST_F(CommandLineTest, PiecesThatDoNotFitAreRefusedByName) {
    const std::wstring tooLong = L" would make the command line for the Java runtime longer than 32767 characters.";
    const std::wstring big(20000, L'v');
    struct Case {
        const char* what;
        std::map<WORD, std::wstring> records;
        std::wstring arguments;
        std::wstring reason;
    };
    const Case cases[] = {
        {"JVM options", {{12, L"-Da=%QDTEST_BIG% -Db=%QDTEST_BIG%"}}, L"",
         L"The JVM options, with their variables expanded," + tooLong},
        {"expanded classpath", {{16, L"%QDTEST_BIG%;%QDTEST_BIG%"}}, L"",
         L"The classpath, with its variables expanded, is longer than 32767 characters."},
        {"classpath", {{12, L"-Da=%QDTEST_BIG%"}, {16, L"%QDTEST_BIG%"}}, L"", L"The classpath" + tooLong},
        {"expanded module path", {{32, L"app"}, {33, L"%QDTEST_BIG%;%QDTEST_BIG%"}}, L"",
         L"The module path, with its variables expanded, is longer than 32767 characters."},
        {"module path", {{12, L"-Da=%QDTEST_BIG%"}, {32, L"app"}, {33, L"C:\\%QDTEST_BIG%"}}, L"",
         L"The module path" + tooLong},
        {"fixed arguments", {{13, std::wstring(32720, L'a')}}, L"", L"The configured application arguments" + tooLong},
        {"user arguments", {{13, std::wstring(32000, L'a')}}, std::wstring(1000, L'u'),
         L"The arguments given to this program" + tooLong},
    };
    for (const Case& c : cases) {
        SetUp();
        plainRecords();
        environment[L"QDTEST_BIG"] = big;
        for (const auto& [id, text] : c.records) records[id] = text;
        RunResult run = launch(c.arguments);
        expectRefusal(run, std::wstring(STARTUP_ERROR) + L"\n\n" + c.reason);
    }
}

TEST_F(CommandLineTest, WholeCommandLineMayReachTheSystemsLimitButNotPassIt) {
    // The fixed arguments fill the child's command line, quoted program path
    // included, up to 32766 characters: the most the system passes on whole.
    plainRecords();
    std::wstring head = L"-classpath \"lib;lib\\common-ui.jar\" com.example.demo.Main ";
    size_t room = 32766 - (javawPath().size() + 3) - head.size();
    std::wstring fixed = std::wstring(room - 1, L'a') + L"z";
    records[13] = fixed;
    launch();
    ASSERT_TRUE(childRan());
    std::wstring received = childArgs();
    EXPECT_EQ(32766u, child().value(L"commandline").size());
    EXPECT_TRUE(received == head + fixed) << "received " << received.size() << " characters";

    // One more character: the launcher's arguments still fit their text, the
    // whole would reach the child cut.
    SetUp();
    plainRecords();
    records[13] = fixed + L"z";
    RunResult run = launch();
    expectRefusal(run, std::wstring(STARTUP_ERROR) +
                           L"\n\nThe command line for the Java runtime would be longer than the 32766 characters "
                           L"the system can pass on. Shorten the configured options, classpath or arguments.");
}

} // namespace
