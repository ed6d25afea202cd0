// The console launcher's own decisions: what it does with each console event
// (Wine delivers only Ctrl+C, tested end to end), which standard handles its
// child inherits, how its lines end and how a typed answer is read.
#include <gtest/gtest.h>

#include <string>

#include "diag/console_io.h"
#include "launch/console_child.h"

namespace {

TEST(ConsoleLauncher, OutlivesEveryConsoleEventWhileItsChildRuns) {
    const struct {
        DWORD event;
        ConsoleEventAction action;
    } cases[] = {
        {CTRL_C_EVENT, CONSOLE_EVENT_SURVIVED}, {CTRL_BREAK_EVENT, CONSOLE_EVENT_SURVIVED},
        {CTRL_CLOSE_EVENT, CONSOLE_EVENT_HELD}, {CTRL_LOGOFF_EVENT, CONSOLE_EVENT_HELD},
        {CTRL_SHUTDOWN_EVENT, CONSOLE_EVENT_HELD}, {7, CONSOLE_EVENT_PASSED_ON},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.action, consoleEventAction(c.event)) << c.event;
        // The handler itself, for the events after which it returns; it counts
        // those it lives through, which keep a restart from starting.
        if (c.action != CONSOLE_EVENT_HELD) {
            LONG before = consoleInterrupts();
            EXPECT_EQ(c.action == CONSOLE_EVENT_SURVIVED, onConsoleEvent(c.event) != FALSE) << c.event;
            EXPECT_EQ(before + (c.action == CONSOLE_EVENT_SURVIVED ? 1 : 0), consoleInterrupts()) << c.event;
        }
    }
}

// Standard handles as a starter may leave them: one not inheritable, one a
// console handle of an older system (not a kernel handle), one missing.
TEST(ConsoleLauncher, ChildGetsTheStandardHandlesAsTheyAre) {
    const DWORD ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved[3];
    for (int i = 0; i < 3; ++i) saved[i] = GetStdHandle(ids[i]);
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, nullptr, 0));
    const HANDLE oldConsoleHandle = reinterpret_cast<HANDLE>(7);
    SetStdHandle(STD_INPUT_HANDLE, pipeRead);
    SetStdHandle(STD_OUTPUT_HANDLE, oldConsoleHandle);
    SetStdHandle(STD_ERROR_HANDLE, nullptr);
    STARTUPINFOW startup = {};
    HANDLE listed[3] = {};
    size_t count = shareStandardHandles(startup, listed);
    for (int i = 0; i < 3; ++i) SetStdHandle(ids[i], saved[i]);

    EXPECT_EQ(static_cast<DWORD>(STARTF_USESTDHANDLES), startup.dwFlags);
    EXPECT_EQ(pipeRead, startup.hStdInput);
    EXPECT_EQ(oldConsoleHandle, startup.hStdOutput);
    EXPECT_EQ(nullptr, startup.hStdError);
    ASSERT_EQ(1u, count);
    EXPECT_EQ(pipeRead, listed[0]);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(pipeRead, &flags) && (flags & HANDLE_FLAG_INHERIT) != 0);
    CloseHandle(pipeRead);
    CloseHandle(pipeWrite);
}

TEST(ConsoleLauncher, EveryLineEndsWithCarriageReturnAndLineFeed) {
    wchar_t out[32];
    size_t length = withLineEnds(L"message\n\nsystem text\r\n", out, 32);
    EXPECT_EQ(std::wstring(L"message\r\n\r\nsystem text\r\n\r\n"), std::wstring(out, length));
    // A text longer than the buffer is cut; the line end still closes it.
    EXPECT_EQ(7u, withLineEnds(L"abcdefghij", out, 8));
    EXPECT_EQ(std::wstring(L"abcde\r\n"), out);
}

TEST(ConsoleLauncher, AnAnswerIsYesWhenItBeginsWithYOrS) {
    for (const wchar_t* yes : {L"y\r\n", L"Yes\r\n", L"  y\r\n", L"s\u00ED\r\n"}) EXPECT_TRUE(consoleAnswerIsYes(yes));
    for (const wchar_t* no : {L"\r\n", L"", L"n\r\n", L"ok\r\n"}) EXPECT_FALSE(consoleAnswerIsYes(no));
}

} // namespace
