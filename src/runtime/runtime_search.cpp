// Interim runtime search: only the configured runtime directory, taken relative
// to the executable's directory unless absolute. Variable expansion and the
// registry search are not built yet.
#include "runtime/runtime_search.h"

#include <windows.h>

#include "config/config_records.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "launch/bounded_text.h"
#include "launch/launch_state.h"

bool appendLauncherName(wchar_t* path) {
    wchar_t composed[PATH_CAPACITY];
    TextBuffer b = emptyTextBuffer(composed, PATH_CAPACITY);
    appendText(b, path);
    if (!textEndsWith(b, L'\\')) appendChar(b, L'\\');
    appendText(b, L"bin\\javaw.exe");
    if (b.overflowed) return false;
    copyText(path, PATH_CAPACITY, composed);
    return true;
}

bool checkLauncher() {
    wchar_t candidate[PATH_CAPACITY] = {};
    bool found = false;
    if (runtimeHome[0] != 0) {
        copyText(candidate, PATH_CAPACITY, runtimeHome);
        found = appendLauncherName(candidate) && GetFileAttributesW(candidate) != INVALID_FILE_ATTRIBUTES;
    }
    logLine(L"Check launcher:\t%s %s\n", candidate, found ? L"(OK)" : L"(n/a)");
    return found;
}

int locateRuntime(const wchar_t* exePath, size_t exeDirLen) {
    wchar_t configured[PATH_CAPACITY] = {};
    if (loadConfigString(CFG_RUNTIME_DIR, configured, PATH_CAPACITY)) {
        logLine(L"Bundled JRE:\t%s\n", configured);
        TextBuffer home = emptyTextBuffer(runtimeHome, PATH_CAPACITY);
        if (configured[0] == L'\\' || (configured[0] != 0 && configured[1] == L':')) {
            appendText(home, configured);
        } else {
            appendTextN(home, exePath, exeDirLen);
            if (!textEndsWith(home, L'\\')) appendChar(home, L'\\');
            appendText(home, configured);
        }
        if (home.overflowed) {
            explainFailure(L"The configured runtime directory is longer than 259 characters.");
            return 0;
        }
    }
    if (checkLauncher()) return 1;
    loadConfigString(MSG_RUNTIME_DIR_ERROR, messageText, MESSAGE_CAPACITY);
    return 0;
}
