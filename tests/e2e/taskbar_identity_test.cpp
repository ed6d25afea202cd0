// The application's own taskbar identity (CFG_APP_USER_MODEL_ID): what the
// child receives, and what the launcher loads for it. Wine keeps no process
// identity (its SetCurrentProcessExplicitAppUserModelID only answers S_OK), so
// the launcher's own call is seen here only as its log line; what the launcher
// does with each answer is in tests/unit/app_identity_test.cpp.
#include "launcher_fixture.h"

#include <tlhelp32.h>

using namespace e2e;

namespace {

const wchar_t* const APP_ID = L"ExampleLtd.QdTest.Tool";

// Whether the process has loaded a DLL of that file name.
bool hasLoaded(DWORD pid, const wchar_t* dll) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32W module = {};
    module.dwSize = sizeof module;
    bool found = false;
    for (BOOL more = Module32FirstW(snapshot, &module); more && !found; more = Module32NextW(snapshot, &module)) {
        found = _wcsicmp(module.szModule, dll) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

TEST_F(LauncherTest, TheApplicationsIdentityReachesTheChildOnlyWhenConfigured) {
    const struct {
        const char* name;
        const wchar_t* appId; // nullptr: the record is absent
        bool console;
        bool childGetsId;     // and the launcher binds shell32 for its own
    } cases[] = {
        {"an ID", APP_ID, false, true},
        {"no record", nullptr, false, false},
        {"an empty record counts as none", L"", false, false},
        // Last: the console launcher stays the fixture's launcher from here on.
        {"the console launcher ignores it", APP_ID, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.console) useConsoleLauncher();
        installRuntime();
        if (c.appId != nullptr) records[38] = c.appId;
        // The child waits while the test looks at the running launcher.
        std::wstring looked = joinPath(testDir, L"looked.flag");
        childActions("wait-file " + narrow(looked) + "\n");
        int shellLoaded = -1;
        whileRunning = [&](DWORD pid) {
            if (shellLoaded >= 0 || !childRan()) return;
            shellLoaded = hasLoaded(pid, L"shell32.dll");
            writeFileBytes(looked, "");
        };
        RunResult run = launch(L"--qd-debug");

        EXPECT_EQ(0u, run.exitCode);
        ChildRecord received = child();
        ASSERT_TRUE(received.present);
        DWORD flags = std::stoul(received.value(L"startup-flags"), nullptr, 16);
        EXPECT_EQ(c.childGetsId, (flags & STARTF_TITLEISAPPID) != 0) << flags;
        EXPECT_EQ(c.childGetsId, received.value(L"startup-title") == APP_ID) << narrow(received.value(L"startup-title"));
        EXPECT_EQ(c.childGetsId ? 1 : 0, shellLoaded) << "shell32 is loaded at start-up only for the ID";
        std::string log = logBytes();
        EXPECT_EQ(c.childGetsId, log.find("\r\nAppUserModelID:\t" + narrow(APP_ID) + "\r\n") != std::string::npos) << log;
    }
}

} // namespace
