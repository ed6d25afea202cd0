#include "launch/app_identity.h"

#include "config/config_records.h"
#include "core/launch_state.h"
#include "core/launcher_variant.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "diag/ui_calls.h"

namespace {

// What the system answered when the launcher's own process took the ID.
HRESULT adoptResult;

HRESULT setOwnAppUserModelId() {
    // shell32 is bound here and only here at start-up, so a launcher without
    // the record does not pay for loading it.
    if (!bindShellCalls()) return HRESULT_FROM_WIN32(GetLastError());
    if (shell32.SetCurrentProcessExplicitAppUserModelID == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return shell32.SetCurrentProcessExplicitAppUserModelID(appUserModelId);
}

} // namespace

void adoptAppUserModelId() {
    if (CONSOLE_LAUNCHER) return;
    // A record too long to be an ID is noted as a configuration fault, which
    // refuses the launch; nothing is set.
    if (!loadConfigString<CFG_APP_USER_MODEL_ID>(appUserModelId)) return;
    if (appUserModelId[0] == 0) return;
    adoptResult = setOwnAppUserModelId();
}

void logAppUserModelId() {
    if (appUserModelId[0] == 0) return;
    if (SUCCEEDED(adoptResult)) {
        logLine("AppUserModelID:\t%s\n", appUserModelId);
        return;
    }
    wchar_t reason[64];
    describeErrorCode(static_cast<unsigned long>(adoptResult), reason, 64);
    logLine("AppUserModelID:\t%s for the child only; the launcher's own failed: %s\n", appUserModelId, reason);
}

void passAppUserModelId(STARTUPINFOW& startup) {
    if (appUserModelId[0] == 0) return;
    startup.dwFlags |= STARTF_TITLEISAPPID;
    startup.lpTitle = appUserModelId;
}
