// The console launcher's own decisions: what it does with each console event,
// which standard handles its child inherits, how its lines are written and
// how a typed answer is read.
#include <gtest/gtest.h>

#include <string>

#include "diag/console_io.h"
#include "launch/console_child.h"

namespace {

HANDLE handleValue(ULONG_PTR value) { return reinterpret_cast<HANDLE>(value); }

TEST(ConsoleEvents, TheLauncherOutlivesEveryEventWhileItsChildRuns) {
    const struct {
        DWORD event;
        ConsoleEventAction action;
    } cases[] = {
        {CTRL_C_EVENT, CONSOLE_EVENT_SURVIVED},       {CTRL_BREAK_EVENT, CONSOLE_EVENT_SURVIVED},
        {CTRL_CLOSE_EVENT, CONSOLE_EVENT_HELD},       {CTRL_LOGOFF_EVENT, CONSOLE_EVENT_HELD},
        {CTRL_SHUTDOWN_EVENT, CONSOLE_EVENT_HELD},    {3, CONSOLE_EVENT_PASSED_ON},
        {7, CONSOLE_EVENT_PASSED_ON},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        EXPECT_EQ(c.action, consoleEventAction(c.event));
        // The handler itself, for the events after which it returns.
        if (c.action != CONSOLE_EVENT_HELD) {
            EXPECT_EQ(c.action == CONSOLE_EVENT_SURVIVED, onConsoleEvent(c.event) != FALSE);
        }
    }
}

TEST(ConsoleEvents, OnlyKernelHandlesGoInTheListOfInheritedHandles) {
    const struct {
        ULONG_PTR value;
        bool listed;
    } cases[] = {
        {0, false}, {static_cast<ULONG_PTR>(-1), false}, {3, false}, {7, false}, {0x13, false}, {0x40, true}, {0x44, true},
    };
    for (const auto& c : cases) EXPECT_EQ(c.listed, isKernelHandle(handleValue(c.value))) << c.value;
}

// Standard handles as a starter may leave them: one not inheritable, one a
// console handle of an older system, one missing.
TEST(ConsoleEvents, TheChildGetsTheStandardHandlesAsTheyAre) {
    const DWORD ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved[3];
    for (int i = 0; i < 3; ++i) saved[i] = GetStdHandle(ids[i]);
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, nullptr, 0)); // not inheritable
    SetStdHandle(STD_INPUT_HANDLE, pipeRead);
    SetStdHandle(STD_OUTPUT_HANDLE, handleValue(7));
    SetStdHandle(STD_ERROR_HANDLE, nullptr);

    STARTUPINFOW startup = {};
    HANDLE listed[3] = {};
    size_t count = shareStandardHandles(startup, listed);
    for (int i = 0; i < 3; ++i) SetStdHandle(ids[i], saved[i]);

    EXPECT_EQ(static_cast<DWORD>(STARTF_USESTDHANDLES), startup.dwFlags);
    EXPECT_EQ(pipeRead, startup.hStdInput);
    EXPECT_EQ(handleValue(7), startup.hStdOutput);
    EXPECT_EQ(nullptr, startup.hStdError);
    ASSERT_EQ(1u, count);
    EXPECT_EQ(pipeRead, listed[0]);
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(pipeRead, &flags));
    EXPECT_EQ(static_cast<DWORD>(HANDLE_FLAG_INHERIT), flags & HANDLE_FLAG_INHERIT);
    CloseHandle(pipeRead);
    CloseHandle(pipeWrite);
}

TEST(ConsoleText, EveryLineEndsWithCarriageReturnAndLineFeed) {
    const struct {
        const wchar_t* text;
        const wchar_t* written;
    } cases[] = {
        {L"", L"\r\n"},
        {L"one line", L"one line\r\n"},
        {L"message\n\nsystem text\r\n", L"message\r\n\r\nsystem text\r\n\r\n"},
        {L"\n\u00BFs\u00ED?", L"\r\n\u00BFs\u00ED?\r\n"},
    };
    for (const auto& c : cases) {
        wchar_t out[64];
        size_t length = withLineEnds(c.text, out, 64);
        EXPECT_EQ(std::wstring(c.written), std::wstring(out, length));
        EXPECT_EQ(0, out[length]);
    }
    // A text longer than the buffer is cut; its line end still closes it.
    wchar_t out[8];
    EXPECT_EQ(7u, withLineEnds(L"abcdefghij", out, 8));
    EXPECT_EQ(std::wstring(L"abcde\r\n"), out);
}

TEST(ConsoleText, AnAnswerIsYesWhenItBeginsWithYOrS) {
    const struct {
        const wchar_t* line;
        bool yes;
    } cases[] = {
        {L"y\r\n", true},  {L"Yes\r\n", true}, {L"  y\r\n", true}, {L"s\u00ED\r\n", true}, {L"S\r\n", true},
        {L"\r\n", false},  {L"", false},        {L"n\r\n", false}, {L"no\r\n", false},   {L"ok\r\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.yes, consoleAnswerIsYes(c.line)) << static_cast<const void*>(c.line);
}

} // namespace
