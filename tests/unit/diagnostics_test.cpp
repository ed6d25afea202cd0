#include <gtest/gtest.h>

#include <stdarg.h>

#include <string>

#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"

namespace {

std::string formatted(const char* format, ...) {
    char bytes[4096];
    va_list args;
    va_start(args, format);
    size_t n = formatLogBytes(bytes, sizeof bytes, format, args);
    va_end(args);
    return std::string(bytes, n);
}

TEST(LogBytes, LineFeedsBecomeCrLfAndTextIsLatin1) {
    EXPECT_EQ("\r\n\r\nCmdLine:\tC:\\a\\tool.exe --qd-debug x\r\n",
              formatted("\n\nCmdLine:\t%s %s\n", L"C:\\a\\tool.exe", L"--qd-debug x"));
    // Units up to 0xFF are their own byte; anything else is one '?' per unit.
    EXPECT_EQ(std::string("caf\xE9 \xBF? ????.exe ??"),
              formatted("%s", L"caf\u00E9 \u00BF\u0100 \u0442\u0435\u0441\u0442.exe \xD83D\xDE00"));
    // A carriage return already in a text stays; its line feed still gains one.
    EXPECT_EQ("Error:\t\tFile not found.\r\r\n\r\n", formatted("Error:\t\t%s\n", L"File not found.\r\n"));
}

TEST(LogBytes, NumbersAndPercentSigns) {
    EXPECT_EQ("Exit code:\t-1073741819\r\n", formatted("Exit code:\t%d\n", static_cast<int>(0xC0000005u)));
    EXPECT_EQ("Args length:\t32767/32768 chars\r\n",
              formatted("Args length:\t%zd/32768 chars\n", static_cast<long long>(32767)));
    EXPECT_EQ("Heap -Xms:\t256 MB / 25%, Free: 6144 MB, Heap size: 1500 MB\r\n",
              formatted("Heap %s:\t%zd MB / %d%%, Free: %zd MB, Heap size: %d MB\n", L"-Xms", 256LL, 25,
                        6144LL, 1500));
    EXPECT_EQ("9223372036854775807 -2147483648", formatted("%zd %d", 9223372036854775807LL, INT32_MIN));
    EXPECT_EQ("Instance already exists.", formatted("Instance already exists."));
    EXPECT_EQ("empty: ", formatted("empty: %s", static_cast<const wchar_t*>(nullptr)));
}

TEST(LogBytes, NeverWritesPastTheBuffer) {
    char bytes[8 + 1];
    bytes[8] = '#';
    va_list none{};
    auto fill = [&](const char* format, ...) {
        va_list args;
        va_start(args, format);
        size_t n = formatLogBytes(bytes, 8, format, args);
        va_end(args);
        return n;
    };
    (void)none;
    EXPECT_EQ(8u, fill("%s", L"0123456789"));
    EXPECT_EQ('#', bytes[8]);
    EXPECT_EQ(7u, fill("%s", L"abcdefg\n")) << "a line feed is never split from its carriage return";
}

class MessageTextTest : public ::testing::Test {
protected:
    void SetUp() override { resetLaunchState(); }
};

TEST_F(MessageTextTest, AppendsWithinCapacity) {
    copyText(messageText, MESSAGE_CAPACITY, L"Start failed.");
    appendToMessage(L"\nC:\\Temp\\QD_1.tmp");
    EXPECT_STREQ(L"Start failed.\nC:\\Temp\\QD_1.tmp", messageText);
}

TEST_F(MessageTextTest, OverlongAppendKeepsTheStartAndMarksTheCut) {
    std::wstring start(1000, L'm');
    copyText(messageText, MESSAGE_CAPACITY, start.c_str());
    appendToMessage(std::wstring(100, L'x').c_str());
    std::wstring message = messageText;
    ASSERT_EQ(MESSAGE_CAPACITY - 1, message.size());
    EXPECT_EQ(start, message.substr(0, 1000));
    EXPECT_EQ(L"...", message.substr(message.size() - 3));
    appendToMessage(L"more");
    EXPECT_EQ(message, std::wstring(messageText)) << "a full message is left as it is";
}

TEST_F(MessageTextTest, ExplainedFailureIsItsOwnParagraphWithoutASystemCode) {
    failureCode = ERROR_FILE_NOT_FOUND;
    explainFailure(L"Reason one.");
    EXPECT_STREQ(L"Reason one.", messageText);
    EXPECT_EQ(0u, failureCode);
    explainFailure(L"Reason two.");
    EXPECT_STREQ(L"Reason one.\n\nReason two.", messageText);
}

TEST_F(MessageTextTest, ExplainedFailedCallKeepsTheCodeOfThatCall) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY); // as the failed call left it
    explainFailedCall("Reason.");
    EXPECT_STREQ(L"Reason.", messageText);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), failureCode);
}

TEST(ErrorCodeText, ShowsDecimalAndHex) {
    wchar_t text[64];
    describeErrorCode(0xE0001234u, text, 64);
    EXPECT_STREQ(L"System error code 3758101044 (0xE0001234).", text);
    describeErrorCode(5, text, 64);
    EXPECT_STREQ(L"System error code 5 (0x00000005).", text);
}

} // namespace
