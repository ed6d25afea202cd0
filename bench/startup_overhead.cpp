// Start-up overhead of the launcher: starts, alternately, (a) the stand-in
// runtime directly and (b) the launcher, which starts the same stand-in as its
// child, and prints the medians and the median of the pairwise ratios b/a,
// without and with "--qd-debug". The console launcher's folder has java.exe.
//
//   bench_startup.exe <app folder with tool.exe and jvm\bin\<program>> [runs] [program, default javaw.exe]
#include <cstdio>
#include <cstdlib>

#include "bench_support.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup <app folder> [runs]\n");
        return 2;
    }
    std::wstring app = argv[1];
    int runs = argc > 2 ? _wtoi(argv[2]) : 40;
    std::wstring program = argc > 3 ? argv[3] : L"javaw.exe";
    std::wstring launcher = app + L"\\tool.exe";
    std::wstring runtime = app + L"\\jvm\\bin\\" + program;

    // One unmeasured round warms the file cache.
    bench::timeRun(runtime, L"", app);
    bench::timeRun(launcher, L"", app);

    for (const wchar_t* arguments : {L"", L"--qd-debug"}) {
        std::vector<double> direct, launched, ratios;
        for (int i = 0; i < runs; ++i) {
            DWORD exitCode = 0;
            double a = bench::timeRun(runtime, L"", app);
            double b = bench::timeRun(launcher, arguments, app, nullptr, &exitCode);
            if (a <= 0 || b <= 0 || exitCode != 0) {
                std::fprintf(stderr, "error: a run failed (exit code %lu)\n", exitCode);
                return 1;
            }
            direct.push_back(a);
            launched.push_back(b);
            ratios.push_back(b / a);
        }
        std::printf("%-9ls launcher %-12ls runs %d: direct child median %.1f ms, through the launcher %.1f ms, "
                    "median ratio b/a %.2f\n",
                    program.c_str(), *arguments ? arguments : L"(plain)", runs, bench::median(direct),
                    bench::median(launched), bench::median(ratios));
    }
    return 0;
}
