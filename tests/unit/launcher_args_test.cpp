// The user's arguments less the launcher's switches, the classpath items with
// their wildcard expansion, and the module path's items taken from the
// executable's folder.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cmdline/launcher_args.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "log_capture.h"
#include "scratch_files.h"

namespace {

// For messages and log comparisons: one byte per unit, as the log writes them.
std::string latin1(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

std::wstring stripped(const std::wstring& arguments) {
    std::vector<wchar_t> copy(arguments.begin(), arguments.end());
    copy.push_back(0);
    size_t length = stripLauncherSwitches(copy.data());
    EXPECT_EQ(textLength(copy.data()), length) << "the returned length is the text's";
    return copy.data();
}

TEST(StripLauncherSwitches, Examples) {
    struct Case {
        const wchar_t* arguments;
        const wchar_t* remaining;
    };
    const Case cases[] = {
        {L"--qd-debug report.xml", L"report.xml"},
        {L"report.xml --qd-debug", L"report.xml "},
        {L"--qd-debug --qd-stdout", L""},
        {L"--qd-debug  report.xml", L" report.xml"},
        {L"a--qd-x b", L"ab"},
        {L"\"D:\\My --qd-x Dir\\f.txt\"", L"\"D:\\My Dir\\f.txt\""},
        {L"--qd-debug\treport.xml next", L"next"},
        {L"--qd-debug ", L""},
        {L"x---qd-y -qd-z", L"x"},
        {L"report.xml", L"report.xml"},
        {L"", L""},
        {L"-qd-debug --qd report.xml", L"-qd-debug --qd report.xml"},
        {L"--QD-debug report.xml", L"--QD-debug report.xml"}, // switches are case-sensitive
        {L"a --qd-stdout b --qd-debug c", L"a b c"},
        {L"--qd-", L""},
        {L"--qd-x -", L"-"},
        {L"a b --qd-x", L"a b "},
        {L"--qd---qd-x y", L"y"},
        {L"--q--qd-d-x y", L"--qy"}, // the switch starts at the second "--"
        {L"x--qd-a --qd-b y", L"xy"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.remaining), stripped(c.arguments)) << "arguments: " << latin1(c.arguments);
    }
}

// The same result as removing the first switch of the whole text again and
// again, for text made of the few characters that matter.
std::wstring strippedTheSlowWay(std::wstring text) {
    for (;;) {
        size_t at = text.find(L"--qd-");
        if (at == std::wstring::npos) return text;
        size_t space = text.find(L' ', at);
        if (space != std::wstring::npos && space + 1 < text.size()) {
            text.erase(at, space + 1 - at);
        } else {
            text.erase(at);
        }
    }
}

TEST(StripLauncherSwitches, AgreesWithRepeatedSearchFromTheStart) {
    const wchar_t alphabet[] = {L'-', L'q', L'd', L' ', L'x'};
    // Every text of up to eight characters over the alphabet.
    for (int length = 0; length <= 8; ++length) {
        long long count = 1;
        for (int i = 0; i < length; ++i) count *= 5;
        for (long long n = 0; n < count; ++n) {
            std::wstring text;
            long long v = n;
            for (int i = 0; i < length; ++i) {
                text.push_back(alphabet[v % 5]);
                v /= 5;
            }
            ASSERT_EQ(strippedTheSlowWay(text), stripped(text)) << latin1(text);
        }
    }
}

TEST(StripLauncherSwitches, ManySwitchesInALongText) {
    std::wstring arguments;
    std::wstring expected;
    for (int i = 0; i < 3000; ++i) {
        arguments += L"a" + std::to_wstring(i) + L" --qd-debug ";
        expected += L"a" + std::to_wstring(i) + L" ";
    }
    arguments += L"end";
    expected += L"end";
    EXPECT_EQ(expected, stripped(arguments));
}

class ClasspathItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        copyText(messageText, MESSAGE_CAPACITY, L"An error occurred while starting the application.");
        GetCurrentDirectoryW(MAX_PATH, savedCwd);
        ASSERT_TRUE(SetCurrentDirectoryW(dir.path.c_str()));
        CreateDirectoryW((dir / L"lib").c_str(), nullptr);
    }
    void TearDown() override { SetCurrentDirectoryW(savedCwd); }

    void touch(const std::wstring& relative) { ASSERT_TRUE(scratch::writeBytes(dir / relative, "")); }

    // Runs the items into an argument text of the given capacity.
    int append(const std::wstring& classpath, size_t capacity = LONG_TEXT_CAPACITY) {
        classpathText.assign(classpath.begin(), classpath.end());
        classpathText.push_back(0);
        args = emptyTextBuffer(launcherArgs, capacity);
        return appendClasspathItems(args, classpathText.data(), classpath.size());
    }
    // The same for module-path items, with `anchor` as the executable's folder.
    int appendModulePath(const std::wstring& modulePath, const std::wstring& anchor) {
        classpathText.assign(modulePath.begin(), modulePath.end());
        classpathText.push_back(0);
        args = emptyTextBuffer(launcherArgs, LONG_TEXT_CAPACITY);
        return appendModulePathItems(args, classpathText.data(), modulePath.size(), anchor.c_str(), anchor.size());
    }
    std::wstring result() const { return launcherArgs; }

    // What the directory search delivers, in its order.
    std::vector<std::wstring> searched(const std::wstring& pattern) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return names;
        do names.push_back(entry.cFileName);
        while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    }

    scratch::ScratchDir dir;
    wchar_t savedCwd[MAX_PATH] = {};
    std::vector<wchar_t> classpathText;
    TextBuffer args = {};
};

TEST_F(ClasspathItemsTest, PlainItemsEachGetASeparatorAndALogLine) {
    LogCapture log;
    EXPECT_EQ(1, append(L"lib;lib\\common-ui.jar"));
    EXPECT_EQ(L"lib;lib\\common-ui.jar;", result());
    EXPECT_EQ("Add classpath:\tlib\r\nAdd classpath:\tlib\\common-ui.jar\r\n", log.bytes());
}

TEST_F(ClasspathItemsTest, RunsOfSeparatorsCountAsOne) {
    struct Case {
        const wchar_t* classpath;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L";;lib;;", L"lib;"},
        {L"a;;;b", L"a;b;"},
        {L";", L""},
        {L"", L""},
        {L"D:\\My Libs\\x.jar", L"D:\\My Libs\\x.jar;"}, // no quotes of its own
    };
    for (const Case& c : cases) {
        EXPECT_EQ(1, append(c.classpath));
        EXPECT_EQ(std::wstring(c.expected), result()) << latin1(c.classpath);
    }
}

TEST_F(ClasspathItemsTest, WildcardItemGivesEveryMatchWithItsFolder) {
    touch(L"lib\\a.jar");
    touch(L"lib\\b.jar");
    touch(L"lib\\notes.txt");
    LogCapture log;
    EXPECT_EQ(1, append(L"lib\\*.jar"));
    std::vector<std::wstring> found = searched(L"lib\\*.jar");
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(L"lib\\" + found[0] + L";lib\\" + found[1] + L";", result());
    EXPECT_EQ("Add classpath:\tlib\\*.jar\r\n"
              "      \"      :\tlib\\" + latin1(found[0]) + "\r\n"
              "      \"      :\tlib\\" + latin1(found[1]) + "\r\n",
              log.bytes());
}

TEST_F(ClasspathItemsTest, WildcardWithoutMatchesAddsNothing) {
    LogCapture log;
    EXPECT_EQ(1, append(L"lib\\*.jar;missing\\*.jar;x"));
    EXPECT_EQ(L"x;", result());
    EXPECT_EQ(0u, failureCode) << "an empty match is no error";
    EXPECT_EQ("Add classpath:\tlib\\*.jar\r\nAdd classpath:\tmissing\\*.jar\r\nAdd classpath:\tx\r\n", log.bytes());
}

TEST_F(ClasspathItemsTest, StarTakesDirectoriesAndDotEntriesUnfiltered) {
    touch(L"lib\\a.jar");
    CreateDirectoryW((dir / L"lib\\sub").c_str(), nullptr);
    EXPECT_EQ(1, append(L"lib\\*"));
    std::wstring expected;
    for (const std::wstring& name : searched(L"lib\\*")) expected += L"lib\\" + name + L";";
    EXPECT_EQ(expected, result());
    EXPECT_NE(std::wstring::npos, expected.find(L"lib\\sub;"));
    EXPECT_NE(std::wstring::npos, expected.find(L"lib\\.;")) << "the search delivers . here";
    EXPECT_NE(std::wstring::npos, expected.find(L"lib\\..;"));
}

TEST_F(ClasspathItemsTest, QuestionMarkIsAWildcardToo) {
    touch(L"lib\\a.jar");
    touch(L"lib\\ab.jar");
    EXPECT_EQ(1, append(L"lib\\?.jar"));
    EXPECT_EQ(L"lib\\a.jar;", result());
}

TEST_F(ClasspathItemsTest, AbsoluteWildcardKeepsItsFolder) {
    touch(L"lib\\a.jar");
    std::wstring item = dir / L"lib\\*.jar";
    EXPECT_EQ(1, append(L"x;" + item));
    EXPECT_EQ(L"x;" + (dir / L"lib\\a.jar") + L";", result());
}

TEST_F(ClasspathItemsTest, WildcardWithoutFolderGivesBareNamesOfTheCurrentDirectory) {
    touch(L"a.jar");
    touch(L"lib\\b.jar");
    EXPECT_EQ(1, append(L"*.jar"));
    EXPECT_EQ(L"a.jar;", result()) << "names that the child finds from the same current directory";
}

TEST_F(ClasspathItemsTest, SlashEndsTheFolderPartLikeABackslash) {
    touch(L"lib\\a.jar");
    CreateDirectoryW((dir / L"lib\\sub").c_str(), nullptr);
    touch(L"lib\\sub\\b.jar");
    EXPECT_EQ(1, append(L"lib/*.jar;lib\\sub/*.jar"));
    EXPECT_EQ(L"lib/a.jar;lib\\sub/b.jar;", result());
}

TEST_F(ClasspathItemsTest, FoundPathLongerThanAPathMayBeIsRefused) {
    // A folder whose own path fits, holding a file whose full path does not.
    std::wstring folder = dir.path;
    while (folder.size() < 220) folder = scratch::join(folder, L"dddddddddddddddddddd");
    std::wstring longName = std::wstring(50, L'n') + L".jar";
    for (size_t at = dir.path.size() + 1; at < folder.size(); ++at) {
        if (folder[at] == L'\\') CreateDirectoryW((L"\\\\?\\" + folder.substr(0, at)).c_str(), nullptr);
    }
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    ASSERT_TRUE(scratch::writeBytes(L"\\\\?\\" + scratch::join(folder, longName), ""));
    touch(L"lib\\a.jar");

    std::wstring item = scratch::join(folder, L"*.jar");
    ASSERT_LT(item.size(), 260u);
    EXPECT_EQ(0, append(L"lib\\a.jar;" + item));
    std::wstring message = messageText;
    EXPECT_EQ(0u, message.find(L"An error occurred while starting the application.\n\n"
                               L"The classpath item " + item + L" leads to a path longer than 259 characters: "))
        << latin1(message);
    EXPECT_EQ(0u, failureCode);
}

TEST_F(ClasspathItemsTest, ItemsThatDoNotFitTheCommandLineAreRefused) {
    EXPECT_EQ(0, append(L"aaaaaaaaaa;bbbbbbbbbb", 16));
    EXPECT_TRUE(args.overflowed);
    EXPECT_STREQ(L"An error occurred while starting the application.\n\n"
                 L"The classpath would make the command line for the Java runtime longer than 32767 characters.",
                 messageText);
}

TEST_F(ClasspathItemsTest, WildcardEntriesThatDoNotFitTheCommandLineAreRefused) {
    for (int i = 0; i < 10; ++i) touch(L"lib\\" + std::to_wstring(i) + L".jar");
    EXPECT_EQ(0, append(L"lib\\*.jar", 40)); // room for four entries
    EXPECT_STREQ(L"An error occurred while starting the application.\n\n"
                 L"The classpath would make the command line for the Java runtime longer than 32767 characters.",
                 messageText);
    EXPECT_EQ(1, append(L"lib\\*.jar", 10 * 10 + 1)) << "exactly enough room";
    EXPECT_EQ(100u, result().size());
}

TEST_F(ClasspathItemsTest, RelativeModulePathItemsStartAtTheExecutablesFolder) {
    // The current folder has a mods folder too: relative items must not find it.
    const std::wstring app = dir / L"app";
    for (const wchar_t* folder : {L"app", L"app\\mods", L"mods"}) CreateDirectoryW((dir / folder).c_str(), nullptr);
    touch(L"app\\mods\\a.jar");
    touch(L"mods\\wrong.jar");
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L";lib\\x.jar;;mods", app + L"\\lib\\x.jar;" + app + L"\\mods;"},
        {L"mods\\*.jar", app + L"\\mods\\a.jar;"},
        // Absolute, rooted and drive-relative items stand as written.
        {L"C:\\mods;\\\\server\\share\\mods;\\mods;/mods;D:mods", L"C:\\mods;\\\\server\\share\\mods;\\mods;/mods;D:mods;"},
    };
    for (const auto& [modulePath, expected] : cases) {
        EXPECT_EQ(1, appendModulePath(modulePath, app));
        EXPECT_EQ(expected, result()) << latin1(modulePath);
    }
    const std::wstring deepFolder = L"C:\\" + std::wstring(250, L'd');
    EXPECT_EQ(0, appendModulePath(L"mods;javafx\\lib", deepFolder));
    EXPECT_EQ(L"An error occurred while starting the application.\n\nThe module path item javafx\\lib leads to a path "
              L"longer than 259 characters: " + deepFolder + L"\\javafx\\lib",
              std::wstring(messageText));
}

const wchar_t CANARY = 0xA5A5;

// Random texts of the characters that matter, checked in place with canaries.
TEST(RandomizedSwitchRemoval, MatchesTheRepeatedSearchInPlace) {
    const std::vector<std::wstring> pieces = {L"-", L"--", L"q", L"d", L"--qd-", L" ", L"\t", L"x", L"\"", L"a"};
    std::mt19937 random(42);
    std::uniform_int_distribution<size_t> pieceCount(0, 24);
    for (int i = 0; i < 50000; ++i) {
        std::wstring text;
        for (size_t k = pieceCount(random); k > 0; --k) {
            text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
        }
        // The text, its terminator, then canaries that must stay untouched.
        std::vector<wchar_t> buffer(text.begin(), text.end());
        buffer.push_back(0);
        buffer.insert(buffer.end(), 8, CANARY);
        size_t length = stripLauncherSwitches(buffer.data());

        for (size_t k = text.size() + 1; k < buffer.size(); ++k) ASSERT_EQ(CANARY, buffer[k]) << "case " << i;
        std::wstring remaining(buffer.data());
        ASSERT_EQ(strippedTheSlowWay(text), remaining) << "case " << i;
        ASSERT_EQ(remaining.size(), length);
        ASSERT_EQ(std::wstring::npos, remaining.find(L"--qd-"));
    }
}


} // namespace
