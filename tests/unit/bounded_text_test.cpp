#include <gtest/gtest.h>

#include <string>

#include "core/bounded_text.h"

namespace {

TEST(BoundedText, AppendsUntilCapacityAndReportsTheCut) {
    wchar_t storage[8 + 1];
    storage[8] = L'#'; // canary after the capacity
    TextBuffer b = emptyTextBuffer(storage, 8);
    EXPECT_TRUE(appendText(b, L"abc"));
    EXPECT_TRUE(appendText(b, L"defg"));
    EXPECT_FALSE(b.overflowed);
    EXPECT_FALSE(appendText(b, L"hi"));
    EXPECT_TRUE(b.overflowed);
    EXPECT_STREQ(L"abcdefg", storage);
    EXPECT_EQ(7u, b.length);
    EXPECT_EQ(L'#', storage[8]);
    EXPECT_FALSE(appendChar(b, L'x'));
    EXPECT_STREQ(L"abcdefg", storage);
}

TEST(BoundedText, NeverCutsASurrogatePairInHalf) {
    wchar_t storage[4];
    TextBuffer b = emptyTextBuffer(storage, 4);
    appendText(b, L"ab");
    EXPECT_FALSE(appendText(b, L"\xD83D\xDE00")); // one character, two units; one unit of room
    EXPECT_STREQ(L"ab", storage);
}

TEST(BoundedText, AdoptsExistingTextOnce) {
    wchar_t storage[16] = L"xy";
    TextBuffer b = textBufferOver(storage, 16);
    EXPECT_EQ(2u, b.length);
    appendDecimal(b, -42);
    EXPECT_STREQ(L"xy-42", storage);
    truncateText(b, 1);
    EXPECT_STREQ(L"x", storage);
    EXPECT_TRUE(textEndsWith(b, L'x'));
}

TEST(BoundedText, DecimalsAtTheLimits) {
    struct Case {
        long long value;
        const wchar_t* text;
    } cases[] = {{0, L"0"}, {7, L"7"}, {-1, L"-1"}, {4096, L"4096"},
                 {9223372036854775807LL, L"9223372036854775807"},
                 {-9223372036854775807LL - 1, L"-9223372036854775808"}};
    for (const Case& c : cases) {
        wchar_t storage[32];
        TextBuffer b = emptyTextBuffer(storage, 32);
        appendDecimal(b, c.value);
        EXPECT_STREQ(c.text, storage);
    }
}

TEST(BoundedText, SearchesAndComparisons) {
    EXPECT_TRUE(containsText(L"a --qd-debug b", L"--qd-debug"));
    EXPECT_TRUE(containsText(L"x--qd-debugger", L"--qd-debug"));
    EXPECT_FALSE(containsText(L"--QD-DEBUG", L"--qd-debug"));
    EXPECT_FALSE(containsText(L"", L"x"));
    const wchar_t* path = L"C:\\a\\b.exe";
    EXPECT_EQ(path + 4, findLastChar(path, L'\\'));
    EXPECT_EQ(nullptr, findLastChar(L"abc", L'\\'));
    EXPECT_TRUE(textEquals(L"abc", L"abc"));
    EXPECT_FALSE(textEquals(L"abc", L"abcd"));
    EXPECT_TRUE(startsWith(L"HKEY_USERS\\x", L"HKEY_USERS"));
    EXPECT_TRUE(endsWithChar(L"C:\\", L'\\'));
    EXPECT_FALSE(endsWithChar(L"", L'\\'));
}

TEST(BoundedText, CopyIntoTooSmallBufferIsCutAndTerminated) {
    wchar_t storage[5 + 1];
    storage[5] = L'#';
    EXPECT_FALSE(copyText(storage, 5, L"abcdefgh"));
    EXPECT_STREQ(L"abcd", storage);
    EXPECT_EQ(L'#', storage[5]);
    EXPECT_TRUE(copyTextN(storage, 5, L"abcdefgh", 2));
    EXPECT_STREQ(L"ab", storage);
    EXPECT_TRUE(appendTo(storage, 5, L"cd"));
    EXPECT_FALSE(appendTo(storage, 5, L"e"));
    EXPECT_STREQ(L"abcd", storage);
}

} // namespace
