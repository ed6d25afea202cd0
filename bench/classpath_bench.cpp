// How the preparation of the child's command line grows with a classpath of
// wildcard-matched jars: 200 and then 2000 jars in lib\, matched by lib\*.jar.
//
// Two figures per size, each the median of many runs:
//   - preparation: the command-line step alone (records, options file,
//     expansion, directory search, every append), run in this process against
//     a stamped launcher loaded as data;
//   - whole run: the stamped launcher started from here with a stand-in
//     runtime that exits at once, until it has ended (includes the process
//     start-ups, which do not grow with the classpath).
// A preparation ratio close to 10 means the step is linear in the entries; the
// run with no jar at all shows the fixed cost, and the ratio of the growth
// above it is printed too.
// Figures only: nothing here fails on a slow machine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "cmdline/launcher_args.h"
#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "e2e_harness.h"

namespace {

const int PREPARATION_RUNS = 41;
const int WHOLE_RUNS = 15;

using bench::median;
using bench::nowMs;

struct Setup {
    std::wstring appDir;
    std::wstring exe;
};

// app\tool.exe with a wildcard classpath, app\lib\ with `jars` empty jars and
// app\jvm\bin\javaw.exe that ends at once.
bool makeApplication(const std::wstring& root, int jars, Setup* setup) {
    setup->appDir = e2e::joinPath(root, L"app-" + std::to_wstring(jars));
    e2e::removeTree(setup->appDir);
    std::wstring lib = e2e::joinPath(setup->appDir, L"lib");
    std::wstring bin = e2e::joinPath(setup->appDir, L"jvm\\bin");
    if (!e2e::makeDirectories(lib) || !e2e::makeDirectories(bin)) return false;
    for (int i = 0; i < jars; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"%04d.jar", i);
        if (!e2e::writeFileBytes(e2e::joinPath(lib, name), "")) return false;
    }
    if (!CopyFileW(e2e::fakeRuntimePath().c_str(), e2e::joinPath(bin, L"javaw.exe").c_str(), FALSE)) return false;
    setup->exe = e2e::joinPath(setup->appDir, L"tool.exe");
    if (!CopyFileW(e2e::bareLauncherPath().c_str(), setup->exe.c_str(), FALSE)) return false;
    e2e::Records records = {
        {CFG_RUNTIME_DIR, L"jvm"},
        {CFG_WORK_DIR, L"."},
        {CFG_JVM_OPTIONS, L"-Dqdlauncher.exedir=\"%EXEDIR%\""},
        {CFG_MAIN_CLASS, L"com.example.demo.Main"},
        {CFG_CLASSPATH, L"lib\\*.jar"},
        {MSG_STARTUP_ERROR, L"An error occurred while starting the application."},
    };
    return e2e::stampRecords(setup->exe, records);
}

// The command-line step alone, as the preparation runs it, in this process.
bool timePreparation(const Setup& setup, int jars, double* medianMs) {
    HMODULE records = LoadLibraryExW(setup.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (records == nullptr) return false;
    wchar_t savedCwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, savedCwd);
    SetCurrentDirectoryW(setup.appDir.c_str());
    std::vector<double> samples;
    bool ok = true;
    for (int run = 0; run < PREPARATION_RUNS && ok; ++run) {
        resetLaunchState();
        moduleHandle = records;
        copyText(exePath, PATH_CAPACITY, setup.exe.c_str());
        exeDirLen = setup.appDir.size();
        double start = nowMs();
        ok = assembleLauncherArgs(L"report.xml", exePath, exeDirLen, FALSE) == 1;
        samples.push_back(nowMs() - start);
        // Every jar must have arrived, or the figure means nothing.
        long long separators = std::count(launcherArgs, launcherArgs + textLength(launcherArgs), L';');
        ok = ok && separators == (jars > 0 ? jars - 1 : 0);
    }
    SetCurrentDirectoryW(savedCwd);
    FreeLibrary(records);
    if (ok) *medianMs = median(samples);
    return ok;
}

// The whole launcher, start to end.
bool timeWholeRuns(const Setup& setup, double* medianMs) {
    std::vector<double> samples;
    for (int run = 0; run < WHOLE_RUNS; ++run) {
        std::wstring commandLine = L"\"" + setup.exe + L"\" report.xml";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        double start = nowMs();
        if (!CreateProcessW(setup.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            setup.appDir.c_str(), &startup, &process)) {
            return false;
        }
        DWORD waited = WaitForSingleObject(process.hProcess, 60000);
        samples.push_back(nowMs() - start);
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (waited != WAIT_OBJECT_0 || exitCode != 0) return false;
    }
    *medianMs = median(samples);
    return true;
}

} // namespace

int main() {
    std::wstring root = e2e::joinPath(e2e::tempDirectory(), L"qd-bench-classpath");
    const int sizes[] = {0, 200, 2000};
    double preparation[3] = {};
    double whole[3] = {};
    for (int i = 0; i < 3; ++i) {
        Setup setup;
        if (!makeApplication(root, sizes[i], &setup)) {
            std::printf("error: cannot lay out the application with %d jars\n", sizes[i]);
            return 1;
        }
        if (!timePreparation(setup, sizes[i], &preparation[i])) {
            std::printf("error: the command line for %d jars was not prepared as expected\n", sizes[i]);
            return 1;
        }
        if (!timeWholeRuns(setup, &whole[i])) {
            std::printf("error: the launcher with %d jars did not run to its end\n", sizes[i]);
            return 1;
        }
        std::printf("%5d jars: preparation %8.3f ms (median of %d), whole run %8.1f ms (median of %d)\n", sizes[i],
                    preparation[i], PREPARATION_RUNS, whole[i], WHOLE_RUNS);
    }
    std::printf("ratio 2000/200: preparation %.2f (close to 10 means linear), whole run %.2f\n",
                preparation[2] / preparation[1], whole[2] / whole[1]);
    std::printf("preparation above the run with no jar: +%.3f ms and +%.3f ms, ratio %.2f\n",
                preparation[1] - preparation[0], preparation[2] - preparation[0],
                (preparation[2] - preparation[0]) / (preparation[1] - preparation[0]));
    e2e::removeTree(root);
    return 0;
}
