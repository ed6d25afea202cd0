// Interim runtime environment: creation flags and the runtime's own launcher
// program. Path, configured variables and the private launcher copy are not
// built yet.
#include "runtime/runtime_env.h"

#include "config/config_records.h"
#include "diag/error_report.h"
#include "launch/launch_state.h"
#include "runtime/runtime_search.h"

int prepareRuntimeEnvironment(const wchar_t*, const wchar_t*, size_t) {
    priorityClass = static_cast<DWORD>(loadConfigInt(CFG_PRIORITY));
    jarInExe = loadConfigBool(CFG_JAR_IN_EXE);
    if (!appendLauncherName(runtimeHome)) {
        explainFailure(L"The path of the Java runtime's launcher would be longer than 259 characters.");
        return 0;
    }
    return 1;
}
