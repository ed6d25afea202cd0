// Interim command line: the JVM options as configured, the classpath form and
// the user's arguments as given. Expansion, the options file, wildcards, the
// jar form and switch removal are not built yet.
#include "cmdline/launcher_args.h"

#include "config/config_records.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "launch/bounded_text.h"
#include "launch/launch_state.h"

namespace {
wchar_t recordText[LONG_TEXT_CAPACITY];
}

void stripLauncherSwitches(wchar_t*) {}

int assembleLauncherArgs(const wchar_t* argumentText, const wchar_t*, size_t, BOOL) {
    TextBuffer args = textBufferOver(launcherArgs, LONG_TEXT_CAPACITY);
    if (loadConfigString(CFG_JVM_OPTIONS, recordText, LONG_TEXT_CAPACITY)) {
        appendText(args, recordText);
        appendChar(args, L' ');
    }
    wchar_t mainClass[NAME_CAPACITY] = {};
    if (!loadConfigString(CFG_MAIN_CLASS, mainClass, NAME_CAPACITY)) return 0;
    if (!loadConfigString(CFG_CLASSPATH, recordText, LONG_TEXT_CAPACITY)) return 0;
    appendText(args, L"-classpath \"");
    appendText(args, recordText);
    appendText(args, L"\" ");
    appendText(args, mainClass);
    if (argumentText[0] != 0) {
        appendChar(args, L' ');
        appendText(args, argumentText);
    }
    if (args.overflowed) {
        explainFailure(L"The command line for the Java runtime would be longer than 32767 characters.");
        return 0;
    }
    logLine(L"Launcher:\t%s\n", launcherPath);
    logLine(L"Launcher args:\t%s\n", launcherArgs);
    logLine(L"Args length:\t%zd/32768 chars\n", static_cast<long long>(args.length));
    return 1;
}
