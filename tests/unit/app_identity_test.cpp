// The launcher's own taskbar identity with a stand-in for shell32's call
// (Wine's keeps nothing and always answers S_OK): the ID it is given, and
// what a refused or missing call leaves in the log and for the child.
#include <gtest/gtest.h>

#include <string>

#include "config/config_records.h"
#include "core/launch_state.h"
#include "diag/ui_calls.h"
#include "launch/app_identity.h"
#include "log_capture.h"

namespace {

std::wstring idTaken; // record 38 of tests/unit/test_records.rc
HRESULT answer;

HRESULT WINAPI takeId(PCWSTR id) {
    idTaken = id;
    return answer;
}

TEST(AppIdentity, TheLauncherTakesTheIdAndAFailedCallCostsOnlyItsOwn) {
    const std::string line = "AppUserModelID:\tExampleLtd.MyApp";
    const std::string failed = line + " for the child only; the launcher's own failed: System error code ";
    const struct {
        HRESULT answer;
        bool callMissing; // a system without the call
        std::string log;
    } cases[] = {
        {S_OK, false, line + "\r\n"},
        {E_ACCESSDENIED, false, failed + "2147942405 (0x80070005).\r\n"},
        {S_OK, true, failed + "2147942527 (0x8007007F).\r\n"},
    };
    ASSERT_TRUE(bindShellCalls());
    const ShellCalls real = shell32;
    for (const auto& c : cases) {
        resetLaunchState();
        moduleHandle = GetModuleHandleW(nullptr);
        idTaken.clear();
        answer = c.answer;
        shell32.SetCurrentProcessExplicitAppUserModelID = c.callMissing ? nullptr : takeId;
        LogCapture log;
        adoptAppUserModelId();
        logAppUserModelId();
        STARTUPINFOW startup = {};
        passAppUserModelId(startup);

        EXPECT_EQ(c.callMissing ? L"" : L"ExampleLtd.MyApp", idTaken);
        EXPECT_EQ(c.log, log.bytes());
        EXPECT_EQ(static_cast<DWORD>(STARTF_TITLEISAPPID), startup.dwFlags) << "the child gets the ID all the same";
        EXPECT_EQ(std::wstring(L"ExampleLtd.MyApp"), startup.lpTitle);
    }
    shell32 = real;
    resetLaunchState();
}

} // namespace
