
#include <windows.h>

#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "core/launcher_variant.h"
#include "diag/console_io.h"
#include "diag/debug_log.h"
#include "diag/ui_calls.h"

namespace {

// The message box, or for the console launcher the same text on standard error.
void showReport() {
    if (CONSOLE_LAUNCHER) {
        writeErrorLine(messageText);
    } else {
        showMessageBox(messageText, errorTitle, MB_OK);
    }
}

// The help or download page: opened in the browser, or for the console
// launcher (whose user may be a script, or on a machine without a desktop)
// named on a line of its own after the report.
void offerHelpPage() {
    if (CONSOLE_LAUNCHER) {
        logLine("Help URL:\t%s\n", helpUrl);
        writeErrorLine(helpUrl);
    } else {
        logLine("Open URL:\t%s\n", helpUrl);
        openWithShell(helpUrl);
    }
}

} // namespace

void describeErrorCode(unsigned long code, wchar_t* buffer, unsigned long capacity) {
    TextBuffer b = emptyTextBuffer(buffer, capacity);
    appendText(b, "System error code ");
    appendDecimal(b, code);
    appendText(b, " (0x");
    for (int shift = 28; shift >= 0; shift -= 4) {
        appendChar(b, L"0123456789ABCDEF"[(code >> shift) & 0xF]);
    }
    appendText(b, ").");
}

void reportError() {
    reportShown = TRUE;
    DWORD code = failureCode;
    failureCode = 0;
    if (code != 0) {
        wchar_t* systemText = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                       nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<wchar_t*>(&systemText), 0, nullptr);
        wchar_t fallback[64];
        const wchar_t* shown = systemText;
        if (shown == nullptr || shown[0] == 0) {
            describeErrorCode(code, fallback, 64);
            shown = fallback;
        }
        logLine("Error:\t\t%s\n", shown);
        appendToMessage("\n\n");
        appendToMessage(shown);
        showReport();
        if (systemText != nullptr) LocalFree(systemText);
    } else {
        showReport();
    }
    if (helpUrl[0] != 0) offerHelpPage();
    closeDebugLog();
}
