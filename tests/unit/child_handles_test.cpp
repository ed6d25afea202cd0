// What the child inherits: its output pipes' write ends and no other handle
// of the launcher, even one made inheritable; never the single-instance
// mutex, which a process the application starts would otherwise keep.
#include <gtest/gtest.h>

#include <string>

#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "e2e_harness.h"
#include "launch/launch_sequence.h"
#include "scratch_files.h"

namespace {

HANDLE fakeHandle(ULONG_PTR value) { return reinterpret_cast<HANDLE>(value); }

class ChildHandlesTest : public ::testing::Test {
protected:
    void SetUp() override { resetLaunchState(); }
    void TearDown() override { resetLaunchState(); }
};

TEST_F(ChildHandlesTest, ListNamesThePipesAndExtrasOnceEachNeverTheMutex) {
    stderrCapture.pipeWrite = fakeHandle(0x10);
    instanceMutex = fakeHandle(0x30);
    HANDLE list[MAX_INHERITED_HANDLES];
    ASSERT_EQ(1u, listInheritedHandles(list, nullptr, 0)) << "no standard-output pipe without --qd-stdout";
    EXPECT_EQ(fakeHandle(0x10), list[0]);

    stdoutCapture.pipeWrite = fakeHandle(0x20);
    // A console's standard handles are often one and the same; the system
    // refuses a list that names a handle twice.
    const HANDLE extra[] = {fakeHandle(0x40), nullptr, INVALID_HANDLE_VALUE, fakeHandle(0x40), fakeHandle(0x10)};
    ASSERT_EQ(3u, listInheritedHandles(list, extra, 5));
    EXPECT_EQ(fakeHandle(0x20), list[1]);
    EXPECT_EQ(fakeHandle(0x40), list[2]);

    HANDLE many[MAX_INHERITED_HANDLES + 4];
    for (size_t i = 0; i < MAX_INHERITED_HANDLES + 4; ++i) many[i] = fakeHandle(0x100 + 4 * i);
    EXPECT_EQ(MAX_INHERITED_HANDLES, listInheritedHandles(list, many, MAX_INHERITED_HANDLES + 4));
}

std::wstring hex(HANDLE handle) {
    wchar_t text[32];
    swprintf(text, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(handle)));
    return text;
}

TEST_F(ChildHandlesTest, ChildInheritsOnlyItsPipe) {
    scratch::ScratchDir dir;
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE pipeRead = nullptr;
    ASSERT_TRUE(CreatePipe(&pipeRead, &stderrCapture.pipeWrite, &inheritable, 0));
    // Even made inheritable, the mutex stays with the launcher.
    instanceMutex = CreateMutexW(&inheritable, FALSE, nullptr);
    // Stands for any other handle the launcher holds (the debug log, say).
    HANDLE stray = CreateEventW(&inheritable, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, instanceMutex);
    ASSERT_NE(nullptr, stray);

    std::wstring record = dir / L"child-record.txt";
    SetEnvironmentVariableW(L"QDTEST_CHILD_RECORD", record.c_str());
    std::wstring probes = hex(stderrCapture.pipeWrite) + L" " + hex(instanceMutex) + L" " + hex(stray);
    SetEnvironmentVariableW(L"QDTEST_PROBE_HANDLES", probes.c_str());
    copyText(launcherPath, PATH_CAPACITY, e2e::fakeRuntimePath().c_str());
    int started = startChild();
    SetEnvironmentVariableW(L"QDTEST_CHILD_RECORD", nullptr);
    SetEnvironmentVariableW(L"QDTEST_PROBE_HANDLES", nullptr);
    ASSERT_EQ(0, started);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 30000));

    e2e::ChildRecord received = e2e::readChildRecord(record);
    ASSERT_TRUE(received.present);
    EXPECT_EQ(L"yes", received.value(L"inherited:" + hex(stderrCapture.pipeWrite)));
    EXPECT_EQ(L"no", received.value(L"inherited:" + hex(instanceMutex)));
    EXPECT_EQ(L"no", received.value(L"inherited:" + hex(stray)));
    EXPECT_EQ(L"pipe", received.value(L"stderr"));

    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(stray);
    CloseHandle(instanceMutex);
    CloseHandle(stderrCapture.pipeWrite);
    CloseHandle(pipeRead);
}

} // namespace
