// Capture throughput: the stand-in runtime writes the same number of bytes to
// its error output in 64 KiB writes (a) straight into a file, (b) into the
// launcher's pipe, which the launcher copies into its temporary file, and
// (c, d) into a pipe that this program copies into a file with a 4 KiB and a
// 64 KiB buffer. Prints MB/s of each and the ratios b/a and b/c: the pipe and
// the buffer size, not the launcher, set the pace.
//
//   bench_capture.exe <app folder with tool.exe and jvm\bin\javaw.exe> [MiB] [runs]
#include <cstdio>
#include <cstdlib>

#include "bench_support.h"

namespace {

bool writeText(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return true;
}

// Closes the quick-failure report that follows a run shorter than 10 seconds.
DWORD WINAPI closeReports(LPVOID) {
    for (;;) {
        HWND box = FindWindowW(L"#32770", nullptr);
        if (box != nullptr) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        Sleep(20);
    }
}

void removeCaptureFiles() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((std::wstring(temp) + L"QD_*.tmp").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do DeleteFileW((std::wstring(temp) + entry.cFileName).c_str());
    while (FindNextFileW(find, &entry));
    FindClose(find);
}

struct PipeCopy {
    HANDLE readEnd;
    HANDLE file;
    DWORD bufferBytes;
};

DWORD WINAPI copyPipe(LPVOID param) {
    PipeCopy* copy = static_cast<PipeCopy*>(param);
    std::vector<char> buffer(copy->bufferBytes);
    DWORD got = 0, written = 0;
    while (ReadFile(copy->readEnd, buffer.data(), copy->bufferBytes, &got, nullptr) && got > 0) {
        WriteFile(copy->file, buffer.data(), got, &written, nullptr);
    }
    return 0;
}

// The child writes into a pipe that a plain reader copies into a file.
double timePipeCopy(const std::wstring& runtime, const std::wstring& app, const std::wstring& target,
                    DWORD bufferBytes) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inheritable, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    PipeCopy copy = {readEnd, CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                     bufferBytes};
    double start = bench::nowMs();
    HANDLE reader = CreateThread(nullptr, 0, copyPipe, &copy, 0, nullptr);
    std::wstring commandLine = L"\"" + runtime + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    CreateProcessW(runtime.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, app.c_str(), &startup,
                   &process);
    CloseHandle(writeEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    WaitForSingleObject(reader, INFINITE);
    double elapsed = bench::nowMs() - start;
    CloseHandle(reader);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    CloseHandle(copy.file);
    DeleteFileW(target.c_str());
    return elapsed;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_capture <app folder> [MiB] [runs]\n");
        return 2;
    }
    std::wstring app = argv[1];
    unsigned long long mebibytes = argc > 2 ? _wtoi(argv[2]) : 256;
    int runs = argc > 3 ? _wtoi(argv[3]) : 3;
    unsigned long long bytes = mebibytes << 20;
    std::wstring launcher = app + L"\\tool.exe";
    std::wstring runtime = app + L"\\jvm\\bin\\javaw.exe";
    std::wstring actions = app + L"\\bench-actions.txt";
    std::wstring direct = app + L"\\direct-output.bin";
    writeText(actions, "stderr-bytes " + std::to_string(bytes) + "\nexit 0\n");
    SetEnvironmentVariableW(L"QDTEST_CHILD_ACTIONS", actions.c_str());
    SetEnvironmentVariableW(L"QDTEST_CHILD_RECORD", nullptr);
    CloseHandle(CreateThread(nullptr, 0, closeReports, nullptr, 0, nullptr));

    std::vector<double> directRates, capturedRates, copy4Rates, copy64Rates;
    auto rate = [&](double ms) { return static_cast<double>(bytes) / 1048576.0 / (ms / 1000.0); };
    for (int i = 0; i < runs; ++i) {
        SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
        HANDLE file = CreateFileW(direct.c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_ALWAYS, 0, nullptr);
        double a = bench::timeRun(runtime, L"", app, file);
        CloseHandle(file);
        DeleteFileW(direct.c_str());
        double b = bench::timeRun(launcher, L"", app);
        removeCaptureFiles();
        if (a <= 0 || b <= 0) {
            std::fprintf(stderr, "error: a run failed\n");
            return 1;
        }
        directRates.push_back(rate(a));
        capturedRates.push_back(rate(b));
        copy4Rates.push_back(rate(timePipeCopy(runtime, app, direct, 4096)));
        copy64Rates.push_back(rate(timePipeCopy(runtime, app, direct, 65536)));
    }
    double directRate = bench::median(directRates);
    double capturedRate = bench::median(capturedRates);
    double copy4Rate = bench::median(copy4Rates);
    std::printf("capture of %llu MiB in 64 KiB writes, %d runs (medians):\n"
                "  (a) child writing straight to a file      %6.0f MB/s\n"
                "  (b) through the launcher (4 KiB buffer)   %6.0f MB/s   b/a %.2f\n"
                "  (c) plain pipe reader, 4 KiB buffer       %6.0f MB/s   b/c %.2f\n"
                "  (d) plain pipe reader, 64 KiB buffer      %6.0f MB/s\n",
                mebibytes, runs, directRate, capturedRate, capturedRate / directRate, copy4Rate,
                capturedRate / copy4Rate, bench::median(copy64Rates));
    return 0;
}
