#include "launch/restart.h"

#include "diag/debug_log.h"

namespace {

const int RESTART_CODE_LOWEST = 2;
const int RESTART_CODE_HIGHEST = 255;
const int JAVA_CTRL_C_CODE = 130;  // 128 + SIGINT
const int JAVA_TERMINATE_CODE = 143; // 128 + SIGTERM: a closed console, log-off, shutdown

} // namespace

DWORD usableRestartCode(int configured) {
    if (configured < RESTART_CODE_LOWEST || configured > RESTART_CODE_HIGHEST) return 0;
    if (configured == JAVA_CTRL_C_CODE || configured == JAVA_TERMINATE_CODE) return 0;
    return static_cast<DWORD>(configured);
}

RestartVerdict judgeRestart(RestartHistory& history, const ChildEnd& end) {
    if (history.code == 0 || end.exitCode != history.code) return RESTART_NOT_ASKED;
    // After a report the debug log is closed and the user has been told the
    // start failed; starting the application again would contradict that.
    if (end.reportShown) return RESTART_AFTER_REPORT;
    if (end.captureHeld) return RESTART_CAPTURE_HELD;
    if (!history.environmentSaved) return RESTART_NO_ENVIRONMENT;
    bool quick = end.runMs < QUICK_RUN_MS;
    if (quick && history.quickRestarts >= QUICK_RESTARTS_MAX) return RESTART_TOO_OFTEN;
    history.quickRestarts = quick ? history.quickRestarts + 1 : 0;
    return RESTART_GO;
}

void logRefusedRestart(RestartVerdict verdict) {
    switch (verdict) {
        case RESTART_CAPTURE_HELD:
            logLine("No restart:\toutput capture still running\n");
            break;
        case RESTART_NO_ENVIRONMENT:
            logLine("No restart:\tstarting environment not kept\n");
            break;
        case RESTART_TOO_OFTEN:
            logLine("No restart:\t%d restarts in a row within %d s of each start\n",
                    static_cast<int>(QUICK_RESTARTS_MAX), static_cast<int>(QUICK_RUN_MS / 1000));
            break;
        default: break; // a report closed the log; nothing else refuses
    }
}
