// The capture threads and their collection: each thread works only on the
// channel it is given, a blocking read is cancelled as often as it takes for
// the thread to end, and a thread that cannot be ended keeps its handles.
// The excerpt of the output that a quick-failure report shows.
#include <gtest/gtest.h>

#include <string>

#include "core/launch_state.h"
#include "launch/output_capture.h"
#include "scratch_files.h"

namespace {

CaptureChannel channelWithPipe(const wchar_t* prefix, HANDLE* writeEnd) {
    CaptureChannel channel = {};
    channel.prefix = prefix;
    EXPECT_TRUE(CreatePipe(&channel.pipeRead, writeEnd, nullptr, 0));
    return channel;
}

void writeAll(HANDLE pipe, const std::string& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

bool handleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

TEST(CaptureThread, EachThreadCopiesTheChannelItWasGiven) {
    HANDLE errorWrite = nullptr;
    HANDLE outputWrite = nullptr;
    CaptureChannel error = channelWithPipe(L"QDU", &errorWrite);
    CaptureChannel output = channelWithPipe(L"QDU", &outputWrite);
    char head[CAPTURE_HEAD_BYTES];
    error.head = head;
    HANDLE errorRead = error.pipeRead;
    ASSERT_TRUE(startCapture(error));
    ASSERT_TRUE(startCapture(output));
    writeAll(errorWrite, "to the error output\n");
    CloseHandle(errorWrite);
    CloseHandle(outputWrite); // the standard output stays silent

    EXPECT_TRUE(collectCapture(error));
    EXPECT_TRUE(collectCapture(output));
    EXPECT_TRUE(error.ended);
    EXPECT_TRUE(error.seen);
    EXPECT_FALSE(output.seen);
    EXPECT_EQ("to the error output\n", scratch::readBytes(error.path));
    EXPECT_EQ("to the error output\n", std::string(error.head, error.headLength)) << "kept for the report";
    EXPECT_EQ("", scratch::readBytes(output.path));
    EXPECT_EQ(nullptr, error.pipeRead);
    EXPECT_FALSE(handleIsOpen(errorRead)) << "the read end is closed once its thread has ended";
    EXPECT_EQ(nullptr, error.thread);
    DeleteFileW(error.path);
    DeleteFileW(output.path);
}

// A thread blocked in one read after another: a single cancel ends only the
// first read.
struct ThreeReads {
    HANDLE pipes[3];
    HANDLE writeEnds[3];
};

DWORD WINAPI readThreePipesInTurn(LPVOID parameter) {
    auto* reads = static_cast<ThreeReads*>(parameter);
    DWORD cancelled = 0;
    for (HANDLE pipe : reads->pipes) {
        char byte = 0;
        DWORD got = 0;
        if (!ReadFile(pipe, &byte, 1, &got, nullptr) && GetLastError() == ERROR_OPERATION_ABORTED) ++cancelled;
    }
    return cancelled;
}

TEST(CaptureThread, CancelIsRepeatedUntilTheThreadEnds) {
    ThreeReads reads = {};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(CreatePipe(&reads.pipes[i], &reads.writeEnds[i], nullptr, 0));
    HANDLE thread = CreateThread(nullptr, 0, readThreePipesInTurn, &reads, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    HANDLE ours = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &ours, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    CaptureChannel channel = {};
    channel.thread = thread;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), reads.pipes[0], GetCurrentProcess(), &channel.pipeRead, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));

    EXPECT_TRUE(collectCapture(channel)) << "the write ends are still open: only cancelling ends the reads";
    DWORD cancelled = 0;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ours, 0));
    GetExitCodeThread(ours, &cancelled);
    EXPECT_EQ(3u, cancelled);
    CloseHandle(ours);
    for (int i = 0; i < 3; ++i) {
        CloseHandle(reads.pipes[i]);
        CloseHandle(reads.writeEnds[i]);
    }
}

// A thread that is busy with something no cancel reaches, then reads its pipe.
struct LateReader {
    HANDLE release;
    HANDLE pipe;
};

DWORD WINAPI readAfterRelease(LPVOID parameter) {
    auto* reader = static_cast<LateReader*>(parameter);
    WaitForSingleObject(reader->release, 30000);
    char bytes[16];
    DWORD got = 0;
    return ReadFile(reader->pipe, bytes, sizeof bytes, &got, nullptr) ? got : 0;
}

TEST(CaptureThread, AbandonedThreadKeepsItsPipe) {
    HANDLE writeEnd = nullptr;
    CaptureChannel channel = channelWithPipe(L"QDU", &writeEnd);
    LateReader reader = {CreateEventW(nullptr, TRUE, FALSE, nullptr), channel.pipeRead};
    HANDLE thread = CreateThread(nullptr, 0, readAfterRelease, &reader, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &channel.thread, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));

    EXPECT_FALSE(collectCapture(channel));
    EXPECT_FALSE(channel.ended);
    EXPECT_EQ(reader.pipe, channel.pipeRead);
    ASSERT_TRUE(handleIsOpen(reader.pipe)) << "a running thread's read end is never closed under it";

    // The thread still uses its handle once it gets there.
    writeAll(writeEnd, "late");
    SetEvent(reader.release);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000));
    DWORD got = 0;
    GetExitCodeThread(thread, &got);
    EXPECT_EQ(4u, got);
    CloseHandle(thread);
    CloseHandle(reader.release);
    CloseHandle(reader.pipe);
    CloseHandle(writeEnd);
}

struct ExcerptCase {
    const char* name;
    std::string bytes;
    UINT codePage; // for output that is not UTF-8
    size_t limit;
    std::wstring expected;
};

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(OutputExcerpt, FirstLinesDecodedCutCleanlyAndMadeHarmless) {
    const std::string emoji = "\xF0\x9F\x98\x80"; // U+1F600, a surrogate pair
    const ExcerptCase cases[] = {
        {"Java's message", "Error: Could not find or load main class a.Main\nCaused by: java.lang.ClassNotFoundException: a.Main\n",
         1252, 800, L"Error: Could not find or load main class a.Main\nCaused by: java.lang.ClassNotFoundException: a.Main"},
        {"CR LF, a lone CR, empty lines", "\r\none\r\n\r\ntwo\rthree\n\n", 1252, 800, L"one\ntwo\nthree"},
        {"ten lines at most", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n", 1252, 800, L"1\n2\n3\n4\n5\n6\n7\n8\n9\n10"},
        {"800 characters at most", std::string(1000, 'x'), 1252, 800, std::wstring(797, L'x') + L"..."},
        {"a later line cut", "first line\nsecond line is long\n", 1252, 20, L"first line\nsecond..."},
        {"no room for a piece of the next line", "first line\nsecond\n", 1252, 14, L"first line"},
        {"never half a surrogate pair", repeated(emoji, 5), 1252, 8, L"\U0001F600\U0001F600..."},
        {"control characters", std::string("a\tb\x01" "c\x7F", 6) + std::string(1, '\0') + "d\xC2\x85" "e", 1252, 800,
         L"a b\uFFFDc\uFFFD\uFFFDd\uFFFDe"},
        {"direction overrides", "abc\xE2\x80\xAE" "def", 1252, 800, L"abc\uFFFDdef"},
        {"directional marks, line and paragraph separators",
         "a\xE2\x80\x8E" "b\xE2\x80\x8F" "c\xD8\x9C" "d\xE2\x80\xA8" "e\xE2\x80\xA9" "f", 1252, 800,
         L"a\uFFFDb\uFFFDc\uFFFDd\uFFFDe\uFFFDf"},
        {"UTF-8 with its byte order mark", "\xEF\xBB\xBF" "caf\xC3\xA9 \xE2\x82\xAC", 1252, 800, L"caf\u00E9 \u20AC"},
        {"UTF-8 cut inside a character", "caf\xC3\xA9 caf\xC3", 1252, 800, L"caf\u00E9 caf"},
        {"the local code page", "caf\xE9 \x80", 1252, 800, L"caf\u00E9 \u20AC"},
        {"a double-byte code page cut inside a character", "\x82\xA0\x82\xA2\x82", 932, 800, L"\u3042\u3044"},
        {"no room at all", "text\n", 1252, 0, L""},
    };
    for (const ExcerptCase& c : cases) {
        wchar_t out[EXCERPT_MAX_CHARS + 1];
        size_t length = formatOutputExcerpt(c.bytes.data(), c.bytes.size(), c.codePage, out, c.limit);
        EXPECT_EQ(c.expected, std::wstring(out)) << c.name;
        EXPECT_EQ(c.expected.size(), length) << c.name;
    }
}

} // namespace
