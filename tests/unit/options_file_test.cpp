// The options file: its name, the filter from bytes to one line of options,
// the read limit, and the file access around them.
#include <gtest/gtest.h>

#include <string>

#include "config/options_file.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "scratch_files.h"

namespace {

wchar_t optionsStorage[LONG_TEXT_CAPACITY];

// The JVM options text as the command line step leaves it before the file:
// the configured options and a blank, or nothing.
TextBuffer optionsBefore(const wchar_t* configured) {
    TextBuffer text = emptyTextBuffer(optionsStorage, LONG_TEXT_CAPACITY);
    appendText(text, configured);
    return text;
}

std::wstring filtered(const wchar_t* configured, const std::string& fileBytes) {
    TextBuffer text = optionsBefore(configured);
    appendOptionsText(text, reinterpret_cast<const unsigned char*>(fileBytes.data()), fileBytes.size());
    EXPECT_EQ(textLength(optionsStorage), text.length) << "the end index follows the text";
    return optionsStorage;
}

TEST(OptionsFilter, WorkedExample) {
    std::string file = "# memory settings\r\n"
                       "-Xss2m\r\n"
                       "\r\n"
                       "-Dcolor=#ff0000 -Dz=2\r\n"
                       "-Dhome=%EXEDIR%\\data # where the data lives\r\n";
    EXPECT_EQ(L"-Da=1 -Xss2m -Dcolor= -Dhome=%EXEDIR%\\data ", filtered(L"-Da=1 ", file));
}

TEST(OptionsFilter, Cases) {
    struct Case {
        const char* what;
        const wchar_t* configured;
        std::string file;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"carriage returns", L"-Da=1 ", "-Xss2m\r-Dz=2\r", L"-Da=1 -Xss2m -Dz=2 "},
        {"line feeds", L"-Da=1 ", "-Xss2m\n-Dz=2\n", L"-Da=1 -Xss2m -Dz=2 "},
        {"both", L"-Da=1 ", "-Xss2m\r\n-Dz=2\r\n", L"-Da=1 -Xss2m -Dz=2 "},
        {"no break at the end", L"-Da=1 ", "-Xss2m\r\n-Dz=2", L"-Da=1 -Xss2m -Dz=2 "},
        {"leading blanks stay", L"", "-Da\n  -Db", L"-Da   -Db "},
        {"tabs stay", L"", "-Da\t-Db", L"-Da\t-Db "},
        {"trailing blanks stay, the break adds none", L"", "-Da  \n-Db", L"-Da  -Db "},
        {"break at the very start adds no second blank", L"-Da=1 ", "\r\n-Db", L"-Da=1 -Db "},
        {"break at the start of an empty text adds nothing", L"", "\n\n-Db", L"-Db "},
        {"number sign inside an option", L"", "-Dcolor=#ff0000 -Dz=2\n-Dy", L"-Dcolor= -Dy "},
        {"comment on the last line without a break", L"", "-Da -Db# comment", L"-Da -Db "},
        {"comment on the last line after a blank", L"", "-Da # comment", L"-Da "},
        {"only comments and breaks", L"-Da=1 ", "# one\r\n# two\r\n", L"-Da=1 "},
        {"only comments, nothing configured", L"", "# one\r\n# two", L""},
        {"UTF-8 byte-order mark", L"", "\xEF\xBB\xBF-Da", L"\u00EF\u00BB\u00BF-Da "},
        {"UTF-8 letters arrive byte by byte", L"", "-Dname=\xC3\xA9t\xC3\xA9", L"-Dname=\u00C3\u00A9t\u00C3\u00A9 "},
        {"Latin-1 letters", L"", "-Dname=\xE9t\xE9", L"-Dname=\u00E9t\u00E9 "},
        {"Ctrl-Z ends the data", L"", "-Da\n-Db\x1A-Dc\n", L"-Da -Db "},
        {"Ctrl-Z first", L"-Da=1 ", "\x1A-Dc\n", L"-Da=1 "},
        {"Ctrl-Z first, nothing configured", L"", "\x1A-Dc\n", L""},
        // A UTF-16 file: its first zero byte ends the text; the part before
        // keeps its closing blank so it stays apart from the classpath.
        {"UTF-16 with its mark", L"-Da=1 ", std::string("\xFF\xFE-\0X\0s\0s\0", 10), L"-Da=1 \u00FF\u00FE- "},
        {"UTF-16 without a mark", L"", std::string("-\0D\0a\0", 6), L"- "},
        {"zero byte inside a line", L"", std::string("-Da\0-Db\n", 8), L"-Da "},
        {"empty file", L"-Da=1 ", "", L"-Da=1 "},
        {"empty file, nothing configured", L"", "", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.expected), filtered(c.configured, c.file)) << c.what;
    }
}

TEST(OptionsFilter, ReadLimitLeavesRoomForTheConfiguredOptions) {
    EXPECT_EQ(31744u, optionsReadLimit(0));
    EXPECT_EQ(31644u, optionsReadLimit(100));
    EXPECT_EQ(1u, optionsReadLimit(31743));
    // Options that fill the room leave none, never a negative count.
    EXPECT_EQ(0u, optionsReadLimit(31744));
    EXPECT_EQ(0u, optionsReadLimit(32767));
}

TEST(OptionsFilePath, NameIsTheExecutablesLessItsLastThreeCharactersPlusQdIni) {
    struct Case {
        const wchar_t* exe;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"D:\\Apps\\Tool\\tool.exe", L"D:\\Apps\\Tool\\tool.qd.ini"},
        {L"D:\\Apps\\Tool\\tool.com", L"D:\\Apps\\Tool\\tool.qd.ini"},
        {L"D:\\Apps\\Tool\\tool", L"D:\\Apps\\Tool\\tqd.ini"},
        {L"D:\\t.exe", L"D:\\t.qd.ini"},
    };
    for (const Case& c : cases) {
        wchar_t path[PATH_CAPACITY];
        EXPECT_TRUE(optionsFilePathFor(c.exe, path));
        EXPECT_STREQ(c.expected, path);
    }
}

TEST(OptionsFilePath, NameThatWouldNotFitIsNeverCut) {
    // 256 characters give 259: the longest name there is room for.
    std::wstring fits = L"D:\\" + std::wstring(249, L'x') + L".exe";
    ASSERT_EQ(256u, fits.size());
    wchar_t path[PATH_CAPACITY];
    EXPECT_TRUE(optionsFilePathFor(fits.c_str(), path));
    EXPECT_EQ(259u, textLength(path));
    EXPECT_TRUE(textEquals(path + 253, L"qd.ini"));

    for (size_t length : {257u, 259u}) {
        std::wstring tooLong = L"D:\\" + std::wstring(length - 7, L'x') + L".exe";
        ASSERT_EQ(length, tooLong.size());
        for (wchar_t& c : path) c = L'#';
        EXPECT_FALSE(optionsFilePathFor(tooLong.c_str(), path)) << length;
        EXPECT_STREQ(L"", path) << "no cut name is left to open";
    }
    EXPECT_FALSE(optionsFilePathFor(L"ab", path));
}

class OptionsFileTest : public ::testing::Test {
protected:
    void SetUp() override { resetLaunchState(); }
    std::wstring exe() const { return dir / L"tool.exe"; }
    std::wstring optionsFile() const { return dir / L"tool.qd.ini"; }
    std::wstring read(const wchar_t* configured) {
        TextBuffer text = optionsBefore(configured);
        readOptionsFile(exe().c_str(), text);
        return optionsStorage;
    }
    scratch::ScratchDir dir;
};

TEST_F(OptionsFileTest, FileNextToTheExecutableIsReadAndClosed) {
    ASSERT_TRUE(scratch::writeBytes(optionsFile(), "-Xss2m\r\n# comment\r\n-Dz=2\r\n"));
    EXPECT_EQ(L"-Da=1 -Xss2m -Dz=2 ", read(L"-Da=1 "));
    EXPECT_TRUE(DeleteFileW(optionsFile().c_str())) << "the file is closed after the read";
}

TEST_F(OptionsFileTest, MissingFileAddsNothingAndNotesNoFailure) {
    EXPECT_EQ(L"-Da=1 ", read(L"-Da=1 "));
    EXPECT_EQ(0u, failureCode) << "a missing options file must not reach a later report";
    EXPECT_EQ(L"", read(L""));
}

TEST_F(OptionsFileTest, FileOpenForWritingElsewhereIsSkipped) {
    ASSERT_TRUE(scratch::writeBytes(optionsFile(), "-Xss2m\n"));
    HANDLE writer = CreateFileW(optionsFile().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(L"-Da=1 ", read(L"-Da=1 "));
    CloseHandle(writer);
    EXPECT_EQ(L"-Da=1 -Xss2m ", read(L"-Da=1 ")) << "read again once the writer is gone";
}

TEST_F(OptionsFileTest, FileOpenForReadingElsewhereIsRead) {
    ASSERT_TRUE(scratch::writeBytes(optionsFile(), "-Xss2m\n"));
    HANDLE reader = CreateFileW(optionsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    EXPECT_EQ(L"-Xss2m ", read(L""));
    CloseHandle(reader);
}

TEST_F(OptionsFileTest, OnlyTheFirstBytesUpToTheLimitAreRead) {
    // 24 configured characters leave 31720 bytes for the file.
    const wchar_t* configured = L"-Djava.awt.headless=no  ";
    ASSERT_EQ(24u, textLength(configured));
    ASSERT_TRUE(scratch::writeBytes(optionsFile(), std::string(40000, 'a')));
    std::wstring text = read(configured);
    EXPECT_EQ(std::wstring(configured) + std::wstring(31720, L'a') + L" ", text);
}

TEST_F(OptionsFileTest, LimitCountsRawBytesWithLineBreaksAndComments) {
    // Each line is 10 bytes ("-Dxxxxxx" + CR LF); the limit cuts the second line
    // after its sixth byte.
    std::wstring configured(31744 - 16, L'o');
    ASSERT_TRUE(scratch::writeBytes(optionsFile(), "-Dfirst1\r\n-Dsecond\r\n"));
    std::wstring text = read(configured.c_str());
    EXPECT_EQ(configured + L"-Dfirst1 -Dseco ", text);
}

TEST_F(OptionsFileTest, OptionsThatFillTheRoomLeaveTheFileUnread) {
    ASSERT_TRUE(scratch::writeBytes(optionsFile(), "-Xss2m\n"));
    std::wstring configured(31744, L'o');
    EXPECT_EQ(configured, read(configured.c_str()));
    std::wstring longer(32000, L'o');
    EXPECT_EQ(longer, read(longer.c_str()));
}

TEST_F(OptionsFileTest, ReadErrorAfterTheOpenAddsNothing) {
    ASSERT_TRUE(scratch::writeBytes(optionsFile(), "-Xss2m\n"));
    // Open, but without read access: the one read fails.
    HANDLE writeOnly = CreateFileW(optionsFile().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writeOnly);
    TextBuffer text = optionsBefore(L"-Da=1 ");
    appendOptionsFromFile(writeOnly, text);
    CloseHandle(writeOnly);
    EXPECT_STREQ(L"-Da=1 ", optionsStorage);
    EXPECT_EQ(6u, text.length);
    EXPECT_FALSE(text.overflowed);
}

} // namespace
