// The launcher's own taskbar identity, with a stand-in for shell32's call
// (Wine's keeps nothing and always answers S_OK): which ID the call is given,
// what a refused or missing call leaves in the log, that the child keeps the
// ID either way, and the longest ID. The child's start with the ID, as the child sees it, and
// what is loaded without the record are end-to-end tests
// (tests/e2e/taskbar_identity_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_records.h"
#include "core/launch_state.h"
#include "diag/ui_calls.h"
#include "e2e_harness.h"
#include "launch/app_identity.h"
#include "log_capture.h"
#include "scratch_files.h"

namespace {

std::vector<std::wstring> idsTaken;
HRESULT answer;

HRESULT WINAPI takeId(PCWSTR id) {
    idsTaken.push_back(id);
    return answer;
}

TEST(AppIdentity, TheLauncherTakesTheIdAndAFailedCallCostsOnlyItsOwn) {
    const std::wstring longest(128, L'i'), tooLong(129, L'i');
    const std::string idLine = "AppUserModelID:\tExampleLtd.MyApp";
    const std::string childOnly = idLine + " for the child only; the launcher's own failed: System error code ";
    const struct {
        const char* name;
        const wchar_t* record; // nullptr: absent
        HRESULT answer;
        bool callMissing;      // a system without the call (before Windows 7)
        bool taken;            // the call was made, with the record's text
        std::string log;
        bool faulted = false;  // the record is too long: the launch is refused
    } cases[] = {
        {"absent", nullptr, S_OK, false, false, ""},
        {"empty", L"", S_OK, false, false, ""},
        {"taken", L"ExampleLtd.MyApp", S_OK, false, true, idLine + "\r\n"},
        {"refused", L"ExampleLtd.MyApp", E_ACCESSDENIED, false, true, childOnly + "2147942405 (0x80070005).\r\n"},
        {"no such call", L"ExampleLtd.MyApp", S_OK, true, false, childOnly + "2147942527 (0x8007007F).\r\n"},
        {"128 characters", longest.c_str(), S_OK, false, true, "AppUserModelID:\t" + e2e::narrow(longest) + "\r\n"},
        {"129 characters", tooLong.c_str(), S_OK, false, false, "", true},
    };
    scratch::ScratchDir dir;
    ASSERT_TRUE(bindShellCalls());
    const ShellCalls real = shell32;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring exe = dir / (e2e::widen(c.name) + L".exe");
        e2e::Records records = {{101, L"x"}};
        if (c.record != nullptr) records[CFG_APP_USER_MODEL_ID] = c.record;
        ASSERT_TRUE(CopyFileW(e2e::bareLauncherPath().c_str(), exe.c_str(), FALSE));
        ASSERT_TRUE(e2e::stampRecords(exe, records));
        HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, module);
        resetLaunchState();
        moduleHandle = module;
        idsTaken.clear();
        answer = c.answer;
        shell32.SetCurrentProcessExplicitAppUserModelID = c.callMissing ? nullptr : takeId;
        LogCapture log;

        adoptAppUserModelId();
        logAppUserModelId();
        STARTUPINFOW startup = {};
        startup.dwFlags = STARTF_USESTDHANDLES;
        passAppUserModelId(startup);

        EXPECT_EQ(c.taken ? std::vector<std::wstring>{c.record} : std::vector<std::wstring>{}, idsTaken);
        EXPECT_EQ(c.log, log.bytes());
        const bool marked = c.taken || c.callMissing;
        EXPECT_EQ(marked ? STARTF_USESTDHANDLES | STARTF_TITLEISAPPID : STARTF_USESTDHANDLES, startup.dwFlags);
        EXPECT_EQ(marked ? std::wstring(c.record) : L"", startup.lpTitle != nullptr ? startup.lpTitle : L"");
        EXPECT_EQ(c.faulted ? CFG_APP_USER_MODEL_ID : 0, configFaultRecord);
        shell32 = real;
        FreeLibrary(module);
    }
    resetLaunchState();
}

} // namespace
