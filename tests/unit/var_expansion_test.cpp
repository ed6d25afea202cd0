#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/registry_sandbox.h"
#include "config/var_expansion.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "log_capture.h"

namespace {

const wchar_t* const EXE = L"D:\\Apps\\Tool\\tool.exe";
const size_t EXE_DIR_LEN = 12;

struct Expansion {
    int result;
    std::wstring text;
};

// Runs expandVars into a fresh 32768-unit destination.
Expansion expand(const wchar_t* source) {
    static wchar_t storage[LONG_TEXT_CAPACITY];
    TextBuffer destination = emptyTextBuffer(storage, LONG_TEXT_CAPACITY);
    int result = expandVars(destination, source, EXE, EXE_DIR_LEN);
    EXPECT_FALSE(destination.overflowed);
    EXPECT_EQ(textLength(storage), destination.length);
    return {result, storage};
}

std::wstring currentDirectory() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, buffer);
    return std::wstring(buffer, n);
}

std::string latin1(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class VarExpansionTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        copyText(oldCwd, PATH_CAPACITY, L"E:\\Users\\ann");
        savedCwd = currentDirectory();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        workingDir = std::wstring(temp) + L"qdu-expand-cwd";
        CreateDirectoryW(workingDir.c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryW(workingDir.c_str()));
        setEnv(L"JAVA_OPTS", L"-Xss2m");
        setEnv(L"UNSET", nullptr);
        setEnv(L"exedir", nullptr);
    }
    void TearDown() override {
        for (const auto& name : envNames) SetEnvironmentVariableW(name.c_str(), nullptr);
        SetCurrentDirectoryW(savedCwd.c_str());
        RemoveDirectoryW(workingDir.c_str());
        registry.removeAll();
        resetLaunchState();
    }
    void setEnv(const wchar_t* name, const wchar_t* value) {
        SetEnvironmentVariableW(name, value);
        envNames.push_back(name);
    }

    std::wstring savedCwd;
    std::wstring workingDir;
    std::vector<std::wstring> envNames;
    testreg::RegistrySandbox registry;
};

TEST_F(VarExpansionTest, ExampleTable) {
    ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\JavaSoft\\Java Runtime Environment",
                                   L"CurrentVersion", L"1.8"));
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, L"Software\\Vendor", L"", L"vendor default"));
    std::wstring cwd = currentDirectory();
    struct Row {
        const wchar_t* source;
        std::wstring appended;
        int result;
    };
    const Row rows[] = {
        {L"%EXEDIR%\\lib\\*.jar", L"D:\\Apps\\Tool\\lib\\*.jar", 1},
        {L"%EXEFILE%", L"D:\\Apps\\Tool\\tool.exe", 1},
        {L"%OLDPWD%;%PWD%", L"E:\\Users\\ann;" + cwd, 1},
        {L"-Da %JAVA_OPTS% -Db", L"-Da -Xss2m -Db", 1},
        {L"x%UNSET%y", L"xy", 1},
        {L"%exedir%", L"", 1},
        {L"100%%", L"100%", 1},
        {L"a%EXEDIR%u%v", L"aD:\\Apps\\Toolu%v", 1},
        {L"-Dsize=50% -Dx=1", L"-Dsize=50% -Dx=1", 1},
        {L"-Da=%EXEDIR% -XX:ErrorFile=hs_err_pid%p.log -Dlater=1",
         L"-Da=D:\\Apps\\Tool -XX:ErrorFile=hs_err_pid%p.log -Dlater=1", 1},
        {L"%%PATH%% is %%%EXEDIR%%%", L"%PATH% is %D:\\Apps\\Tool%", 1},
        {L"%", L"%", 1},
        {L"%HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\CurrentVersion%", L"1.8", 1},
        {L"%HKEY_CURRENT_USER\\Software\\Vendor\\%", L"vendor default", 1},
        {L"%HKEY_SOMEWHERE\\X\\Y%", L"", 1},
    };
    for (const Row& row : rows) {
        Expansion got = expand(row.source);
        EXPECT_EQ(row.appended, got.text) << latin1(row.source);
        EXPECT_EQ(row.result, got.result) << latin1(row.source);
    }
}

TEST_F(VarExpansionTest, EachReferenceWritesOneSubstituteLine) {
    LogCapture log;
    ASSERT_TRUE(log.open());
    expand(L"%EXEDIR%\\lib");
    expand(L"x%UNSET%y%%z%");
    expand(L"-Da %JAVA_OPTS% -Db");
    expand(L"no references");
    expand(L"");
    expand(L"%HKEY_SOMEWHERE\\X\\Y%");
    EXPECT_EQ("Substitute:\tEXEDIR = D:\\Apps\\Tool\r\n"
              "Substitute:\tUNSET = \r\n"
              "Substitute:\tJAVA_OPTS = -Xss2m\r\n"
              "Substitute:\tHKEY_SOMEWHERE\\X\\Y = \r\n",
              log.bytes());
}

TEST_F(VarExpansionTest, RegistryReferenceLogsTheWholeName) {
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, L"Software\\QdUnit\\Deep", L"Home", L"C:\\jre"));
    LogCapture log;
    EXPECT_EQ(L"C:\\jre", expand(L"%HKEY_CURRENT_USER\\Software\\QdUnit\\Deep\\Home%").text);
    EXPECT_EQ("Substitute:\tHKEY_CURRENT_USER\\Software\\QdUnit\\Deep\\Home = C:\\jre\r\n", log.bytes());
}

TEST_F(VarExpansionTest, ExpansionAppendsAfterWhatTheDestinationHolds) {
    wchar_t storage[64];
    TextBuffer destination = emptyTextBuffer(storage, 64);
    appendText(destination, L"-Xmx512m ");
    EXPECT_EQ(1, expandVars(destination, L"-Dd=%EXEDIR%", EXE, EXE_DIR_LEN));
    EXPECT_STREQ(L"-Xmx512m -Dd=D:\\Apps\\Tool", storage);
}

TEST_F(VarExpansionTest, BuiltInNamesAreExactAndShadowTheEnvironment) {
    setEnv(L"PWD", L"from-environment");
    setEnv(L"exefile", L"lower-case variable");
    EXPECT_EQ(currentDirectory(), expand(L"%PWD%").text);
    EXPECT_EQ(L"lower-case variable", expand(L"%exefile%").text);
    EXPECT_EQ(L"", expand(L"%EXEDIR %").text) << "whole name only";
    EXPECT_EQ(L"", expand(L"%EXE%").text);
    setEnv(L"exedir", L"lower");
    EXPECT_EQ(L"lower", expand(L"%exedir%").text);
}

TEST_F(VarExpansionTest, EnvironmentNamesIgnoreCase) {
    std::wstring upper = expand(L"%PATH%").text;
    EXPECT_FALSE(upper.empty());
    EXPECT_EQ(upper, expand(L"%Path%").text);
    setEnv(L"QD_EMPTY_VALUE", L"");
    EXPECT_EQ(L"ab", expand(L"a%QD_EMPTY_VALUE%b").text);
}

TEST_F(VarExpansionTest, RegistryValueForms) {
    const std::wstring key = L"Software\\QdUnit\\Forms";
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, key, L"Plain", L"plain text"));
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, key, L"Expandable", L"%PATH%\\x", REG_EXPAND_SZ));
    ASSERT_TRUE(registry.setDword(HKEY_CURRENT_USER, key, L"Number", 0x00410041));
    const wchar_t binary[] = L"AB";
    ASSERT_TRUE(registry.setRaw(HKEY_CURRENT_USER, key, L"Binary", REG_BINARY, binary, sizeof binary));
    const wchar_t multi[] = L"one\0two\0";
    ASSERT_TRUE(registry.setRaw(HKEY_CURRENT_USER, key, L"Multi", REG_MULTI_SZ, multi, sizeof multi));
    // A string stored without its terminating zero. The system adds a
    // terminator the caller forgot to count when a zero follows the data, so
    // something else must follow it here.
    ASSERT_TRUE(registry.setRaw(HKEY_CURRENT_USER, key, L"Unterminated", REG_SZ, L"ABCDX", 4 * sizeof(wchar_t)));
    // The largest value that fits the 1024-byte buffer with its terminator, and one unit more.
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, key, L"Fits", std::wstring(511, L'f')));
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, key, L"TooLarge", std::wstring(512, L'g')));
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, key, L"EmbeddedZero", std::wstring(L"left\0right", 10)));

    struct Row {
        const wchar_t* value;
        std::wstring inserted;
    };
    const Row rows[] = {
        {L"Plain", L"plain text"},
        {L"Expandable", L"%PATH%\\x"}, // stored text, references inside are not expanded
        {L"Number", L""},
        {L"Binary", L""},
        {L"Multi", L""},
        {L"Unterminated", L""},
        {L"Fits", std::wstring(511, L'f')},
        {L"TooLarge", L""},
        {L"EmbeddedZero", L"left"},
        {L"Missing", L""},
    };
    for (const Row& row : rows) {
        std::wstring source = L"[%HKEY_CURRENT_USER\\" + key + L"\\" + row.value + L"%]";
        EXPECT_EQ(L"[" + row.inserted + L"]", expand(source.c_str()).text) << latin1(row.value);
    }
}

TEST_F(VarExpansionTest, RegistryKeysThatDoNotOpenAndNamesWithoutBackslash) {
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, L"QdUnitSingle", L"QdUnitSingle", L"single"));
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, L"QdUnitRootValue", L"", L"default of a top key"));
    // One backslash: the text after it is the key path and the value name.
    EXPECT_EQ(L"single", expand(L"%HKEY_CURRENT_USER\\QdUnitSingle%").text);
    EXPECT_EQ(L"", expand(L"%HKEY_CURRENT_USER%").text);
    EXPECT_EQ(L"", expand(L"%HKEY_CURRENT_USER\\Software\\QdUnitMissing\\Value%").text);
    // The characters between the root name and the first backslash are not examined.
    EXPECT_EQ(L"single", expand(L"%HKEY_CURRENT_USERxyz\\QdUnitSingle%").text);
    EXPECT_EQ(L"", expand(L"%hkey_current_user\\QdUnitSingle%").text) << "an environment name, not a root";
}

TEST_F(VarExpansionTest, Wow64ReadsTheSixtyFourBitView) {
    ASSERT_TRUE(registry.setString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QdUnitView", L"Where", L"64-bit view"));
    isWow64 = TRUE;
    EXPECT_EQ(L"64-bit view", expand(L"%HKEY_LOCAL_MACHINE\\SOFTWARE\\QdUnitView\\Where%").text);
    isWow64 = FALSE;
    EXPECT_EQ(L"64-bit view", expand(L"%HKEY_LOCAL_MACHINE\\SOFTWARE\\QdUnitView\\Where%").text);
}

TEST_F(VarExpansionTest, OverlongNameInsertsNothingButIsLogged) {
    std::wstring longest(VARIABLE_NAME_MAX, L'N');
    std::wstring tooLong(VARIABLE_NAME_MAX + 1, L'N');
    setEnv(longest.c_str(), L"fits");
    setEnv(tooLong.c_str(), L"never looked up");
    LogCapture log;
    EXPECT_EQ(L"<fits>", expand((L"<%" + longest + L"%>").c_str()).text);
    Expansion got = expand((L"<%" + tooLong + L"%>").c_str());
    EXPECT_EQ(L"<>", got.text);
    EXPECT_EQ(1, got.result);
    std::string lines = log.bytes();
    EXPECT_EQ("Substitute:\t" + latin1(longest) + " = fits\r\nSubstitute:\t" + latin1(tooLong) + " = \r\n", lines);
}

// A destination with a canary behind its capacity.
struct CanaryDestination {
    static const size_t CAPACITY = 16;
    wchar_t storage[CAPACITY + 8];
    TextBuffer buffer;
    CanaryDestination() {
        for (wchar_t& c : storage) c = L'#';
        buffer = emptyTextBuffer(storage, CAPACITY);
    }
    bool canaryIntact() const {
        for (size_t i = CAPACITY; i < CAPACITY + 8; ++i) {
            if (storage[i] != L'#') return false;
        }
        return true;
    }
};

TEST_F(VarExpansionTest, FullDestinationStopsCleanlyAtItsCapacity) {
    std::wstring deepDir = workingDir + L"\\a-directory-name-longer-than-the-destination";
    ASSERT_TRUE(CreateDirectoryW(deepDir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(SetCurrentDirectoryW(deepDir.c_str()));
    ASSERT_TRUE(registry.setString(HKEY_CURRENT_USER, L"Software\\QdUnit\\Big", L"Value", std::wstring(400, L'r')));
    setEnv(L"QD_LONG_VALUE", std::wstring(100, L'e').c_str());

    struct Row {
        const wchar_t* source;
        std::wstring kept;
        const char* loggedName; // the reference that hit the capacity; nullptr: none logged
    };
    std::wstring cwd = currentDirectory();
    const Row rows[] = {
        {L"0123456789abcdefghij%EXEDIR%", L"0123456789abcde", nullptr},
        {L"ab%EXEFILE%%JAVA_OPTS%", L"abD:\\Apps\\Tool\\", "EXEFILE"},
        {L"%PWD%%EXEDIR%", cwd.substr(0, 15), "PWD"},
        {L"%HKEY_CURRENT_USER\\Software\\QdUnit\\Big\\Value%x", std::wstring(15, L'r'), "HKEY_CURRENT_USER\\Software\\QdUnit\\Big\\Value"},
        {L"%QD_LONG_VALUE%%EXEDIR%", std::wstring(15, L'e'), "QD_LONG_VALUE"},
        {L"%OLDPWD%%EXEDIR%", L"E:\\Users\\annD:\\", "EXEDIR"},
    };
    for (const Row& row : rows) {
        CanaryDestination destination;
        LogCapture log;
        EXPECT_EQ(0, expandVars(destination.buffer, row.source, EXE, EXE_DIR_LEN)) << latin1(row.source);
        EXPECT_TRUE(destination.buffer.overflowed) << latin1(row.source);
        EXPECT_TRUE(destination.canaryIntact()) << latin1(row.source);
        EXPECT_EQ(row.kept, std::wstring(destination.storage)) << latin1(row.source);
        // The reference that filled the destination is the last one looked up.
        std::string lines = log.bytes();
        if (row.loggedName == nullptr) {
            EXPECT_EQ("", lines) << latin1(row.source);
        } else {
            std::string last = lines.substr(lines.rfind("Substitute:\t"));
            EXPECT_EQ(0u, last.find(std::string("Substitute:\t") + row.loggedName + " = ")) << lines;
        }
    }
    SetCurrentDirectoryW(workingDir.c_str());
    RemoveDirectoryW(deepDir.c_str());
}

TEST_F(VarExpansionTest, TextThatFitsExactlyIsNotAnOverflow) {
    CanaryDestination destination;
    EXPECT_EQ(1, expandVars(destination.buffer, L"%EXEDIR%abc", EXE, EXE_DIR_LEN));
    EXPECT_FALSE(destination.buffer.overflowed);
    EXPECT_STREQ(L"D:\\Apps\\Toolabc", destination.storage);
    EXPECT_TRUE(destination.canaryIntact());
}

TEST(RegistryReferenceSplit, RootKeyPathAndValueName) {
    struct Row {
        const wchar_t* name;
        bool ok;
        HKEY root;
        const wchar_t* keyPath;
        const wchar_t* valueName;
    };
    const Row rows[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\CurrentVersion", true,
         HKEY_LOCAL_MACHINE, L"SOFTWARE\\JavaSoft\\Java Runtime Environment", L"CurrentVersion"},
        {L"HKEY_CURRENT_USER\\Software\\Vendor\\", true, HKEY_CURRENT_USER, L"Software\\Vendor", L""},
        {L"HKEY_CURRENT_USER\\Environment", true, HKEY_CURRENT_USER, L"Environment", L"Environment"},
        {L"HKEY_CLASSES_ROOT\\.jar\\", true, HKEY_CLASSES_ROOT, L".jar", L""},
        {L"HKEY_USERS\\.DEFAULT\\Env\\X", true, HKEY_USERS, L".DEFAULT\\Env", L"X"},
        {L"HKEY_CURRENT_CONFIG\\System\\V", true, HKEY_CURRENT_CONFIG, L"System", L"V"},
        {L"HKEY_USERSX\\a\\b", true, HKEY_USERS, L"a", L"b"},
        {L"HKEY_CURRENT_USER", false, nullptr, L"", L""},
        {L"HKEY_SOMEWHERE\\X\\Y", false, nullptr, L"", L""},
        {L"HKEY_LOCAL\\X\\Y", false, nullptr, L"", L""},
        {L"hkey_local_machine\\X\\Y", false, nullptr, L"", L""},
    };
    for (const Row& row : rows) {
        RegistryReference reference = {};
        ASSERT_EQ(row.ok, splitRegistryReference(row.name, &reference)) << latin1(row.name);
        if (!row.ok) continue;
        EXPECT_EQ(row.root, reference.root) << latin1(row.name);
        EXPECT_STREQ(row.keyPath, reference.keyPath) << latin1(row.name);
        EXPECT_STREQ(row.valueName, reference.valueName) << latin1(row.name);
    }
    std::wstring tooLong = L"HKEY_CURRENT_USER\\" + std::wstring(VARIABLE_NAME_MAX, L'k') + L"\\v";
    RegistryReference reference = {};
    EXPECT_FALSE(splitRegistryReference(tooLong.c_str(), &reference));
}

} // namespace
