#include "core/launcher_switches.h"

#include "core/bounded_text.h"
#include "core/launcher_variant.h"

namespace {

const wchar_t NO_SPLASH_SWITCH[] = L"--qd-no-splash";
const size_t NO_SPLASH_SWITCH_LENGTH = sizeof(NO_SPLASH_SWITCH) / sizeof(wchar_t) - 1;

bool hasNoSplashSwitch(const wchar_t* argumentText) {
    for (const wchar_t* at = findText(argumentText, NO_SPLASH_SWITCH); at != nullptr;
         at = findText(at + 1, NO_SPLASH_SWITCH)) {
        if (!startsWith(at + NO_SPLASH_SWITCH_LENGTH, L"-err")) return true;
    }
    return false;
}

} // namespace

LauncherSwitches readLauncherSwitches(const wchar_t* argumentText) {
    LauncherSwitches switches = {};
    switches.debug = containsText(argumentText, L"--qd-debug");
    switches.defaultProgram = containsText(argumentText, L"--qd-default-proc");
    // The console launcher has no splash, no wait and no captured output, so
    // it leaves their switches unread; its child does not get them either.
    if (CONSOLE_LAUNCHER) return switches;
    switches.captureStdout = containsText(argumentText, L"--qd-stdout");
    switches.noSplash = hasNoSplashSwitch(argumentText);
    switches.noSplashError = containsText(argumentText, L"--qd-no-splash-err");
    switches.dontWait = containsText(argumentText, L"--qd-dont-wait");
    return switches;
}
