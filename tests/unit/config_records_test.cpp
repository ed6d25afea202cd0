#include <gtest/gtest.h>

#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"

namespace {

class ConfigRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        moduleHandle = GetModuleHandleW(nullptr);
    }
};

TEST_F(ConfigRecordTest, StringCopiesTextAndTerminator) {
    wchar_t buffer[16];
    for (wchar_t& c : buffer) c = L'#';
    EXPECT_EQ(1, loadConfigString(223, buffer, 16));
    EXPECT_STREQ(L"jvm", buffer);
    EXPECT_EQ(L'#', buffer[4]) << "nothing is written after the terminator";
}

TEST_F(ConfigRecordTest, AbsentRecordLeavesBufferAndNotesNoFailure) {
    wchar_t buffer[8] = L"keep";
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, loadConfigString(299, buffer, 8));
    EXPECT_STREQ(L"keep", buffer);
    EXPECT_EQ(0u, failureCode);
    EXPECT_FALSE(configFaulted());
}

TEST_F(ConfigRecordTest, OnlyLanguage0400IsConsulted) {
    wchar_t buffer[16] = L"keep";
    EXPECT_EQ(0, loadConfigString(230, buffer, 16)) << "stored only under 0x0409";
    EXPECT_STREQ(L"keep", buffer);
    EXPECT_EQ(1, loadConfigString(231, buffer, 16)) << "stored under both languages";
    EXPECT_STREQ(L"neutral", buffer);
}

TEST_F(ConfigRecordTest, EmptyRecordIsPresent) {
    wchar_t buffer[8] = L"keep";
    EXPECT_EQ(1, loadConfigString(204, buffer, 8));
    EXPECT_STREQ(L"", buffer);
}

TEST_F(ConfigRecordTest, RecordWithoutTerminatorEndsWithItsData) {
    wchar_t buffer[16];
    for (wchar_t& c : buffer) c = L'#';
    EXPECT_EQ(1, loadConfigString(220, buffer, 16));
    EXPECT_STREQ(L"abc", buffer);
}

TEST_F(ConfigRecordTest, TextAtCapacityFitsOneMoreIsAFault) {
    wchar_t buffer[21];
    for (wchar_t& c : buffer) c = L'#';
    buffer[20] = 0;
    EXPECT_EQ(1, loadConfigString(221, buffer, 20)); // 19 characters
    EXPECT_FALSE(configFaulted());

    wchar_t untouched[21] = L"keep";
    untouched[20] = L'#';
    EXPECT_EQ(0, loadConfigString(222, untouched, 20)); // 20 characters
    EXPECT_STREQ(L"keep", untouched);
    EXPECT_EQ(L'#', untouched[20]);
    EXPECT_TRUE(configFaulted());
    EXPECT_EQ(222, configFaultRecord);
    EXPECT_STREQ(L"The launcher's configuration is damaged: record 222 is longer than the 19 characters it may hold.",
                 messageText);
    EXPECT_EQ(0u, failureCode) << "the fault explains itself; no system text is added";
}

TEST_F(ConfigRecordTest, FaultIsAddedAfterAPendingMessage) {
    copyText(messageText, MESSAGE_CAPACITY, L"Startup failed.");
    loadConfigBool(222);
    EXPECT_EQ(std::wstring(L"Startup failed.\n\nThe launcher's configuration is damaged: record 222 is longer "
                           L"than the 19 characters it may hold."),
              messageText);
    loadConfigInt(222);
    EXPECT_EQ(222, configFaultRecord) << "only the first fault is explained";
}

TEST_F(ConfigRecordTest, BooleanIsTrueOnlyForExactLowercaseTrue) {
    struct Case {
        WORD id;
        int expected;
    } cases[] = {{200, 1}, {201, 0}, {202, 0}, {203, 0}, {204, 0}, {205, 0}, {299, 0}};
    for (const Case& c : cases) EXPECT_EQ(c.expected, loadConfigBool(c.id)) << "record " << c.id;
}

TEST_F(ConfigRecordTest, IntegerReadsLikeADecimalConversion) {
    struct Case {
        WORD id;
        int expected;
    } cases[] = {{210, -5},         {211, 12}, {212, 0}, {213, 2147483647}, {214, 512},
                 {215, INT32_MIN},  {216, 42}, {204, 0}, {299, 0}};
    for (const Case& c : cases) EXPECT_EQ(c.expected, loadConfigInt(c.id)) << "record " << c.id;
}

TEST(ConfigIntParse, EdgesOfTheConversion) {
    struct Case {
        const wchar_t* text;
        int expected;
    } cases[] = {
        {L"4096", 4096},        {L"\t\n 7", 7},         {L"2048MB", 2048},         {L"", 0},
        {L"-", 0},              {L"+-3", 0},            {L"2147483647", INT32_MAX}, {L"2147483648", INT32_MAX},
        {L"-2147483648", INT32_MIN}, {L"-2147483649", INT32_MIN}, {L"00012", 12}, {L"1 2", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, parseConfigInt(c.text)) << "text '" << c.text << "'";
}

} // namespace
