// The capture threads and their collection: each thread works only on the
// channel it is given, a blocking read is cancelled as often as it takes for
// the thread to end, and a thread that cannot be ended keeps its handles.
#include <gtest/gtest.h>

#include <string>

#include "launch/launch_state.h"
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

} // namespace
