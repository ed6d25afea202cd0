// Which of the launcher's switches an argument text carries. What each switch
// then does is shown end to end.
#include <gtest/gtest.h>

#include <string>

#include "core/launcher_switches.h"

namespace {

// The switches found, as the words that name them.
std::string found(const LauncherSwitches& s) {
    std::string words;
    if (s.debug) words += " debug";
    if (s.captureStdout) words += " stdout";
    if (s.noSplash) words += " no-splash";
    if (s.noSplashError) words += " no-splash-err";
    if (s.dontWait) words += " dont-wait";
    if (s.defaultProgram) words += " default-proc";
    return words;
}

TEST(LauncherSwitches, PlainCaseSensitiveSubstringsAndNoSplashErrIsNotNoSplash) {
    const struct {
        const wchar_t* arguments;
        const char* switches;
    } cases[] = {
        {L"", ""},
        {L"report.xml", ""},
        {L"--qd-debug", " debug"},
        {L"--qd-stdout", " stdout"},
        {L"--qd-dont-wait", " dont-wait"},
        {L"--qd-default-proc", " default-proc"},
        {L"a --qd-default-proc --qd-debug b --qd-stdout --qd-dont-wait", " debug stdout dont-wait default-proc"},
        {L"--qd-no-splash", " no-splash"},
        {L"--qd-no-splash-err", " no-splash-err"},
        {L"--qd-no-splash-error", " no-splash-err"}, // begins with the error switch
        {L"--qd-no-splash-err --qd-no-splash", " no-splash no-splash-err"},
        {L"--qd-no-splash --qd-no-splash-err", " no-splash no-splash-err"},
        {L"--qd-no-splash-err--qd-no-splash", " no-splash no-splash-err"},
        {L"x--qd-no-splashy", " no-splash"}, // plain substring search, like every switch
        {L"\"a --qd-no-splash b\"", " no-splash"},
        {L"\"C:\\my --qd-debug folder\\report.xml\"", " debug"},
        {L"--qd-no-splash-er", " no-splash"},
        {L"--QD-NO-SPLASH --QD-DEBUG", ""},
        {L"--qd-no-spl --qd-debu --qd-std", ""},
        {L"--qd-", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.switches, found(readLauncherSwitches(c.arguments)))
            << testing::PrintToString(std::wstring(c.arguments));
    }
}

} // namespace
