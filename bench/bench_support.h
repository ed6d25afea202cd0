// Small helpers shared by the benchmark programs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bench {

inline double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Starts a program, waits for it and returns the wall time in milliseconds
// (negative when it could not be started).
inline double timeRun(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingDir,
                      HANDLE stdError = nullptr, DWORD* exitCode = nullptr) {
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (stdError != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = stdError;
    }
    PROCESS_INFORMATION process = {};
    double start = nowMs();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, stdError != nullptr, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    double elapsed = nowMs() - start;
    if (exitCode != nullptr) GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

} // namespace bench
