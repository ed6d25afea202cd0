// Stand-in for a Java runtime's javaw.exe in end-to-end tests; built as the
// console program fake_java.exe it stands in for java.exe.
//
// It records what it received into the file named by QDTEST_CHILD_RECORD
// (UTF-16LE lines "key=value": exe, commandline, cwd, the standard handles'
// types, for every hexadecimal handle value listed (blank-separated) in
// QDTEST_PROBE_HANDLES whether it was inherited as "inherited:<hex>=yes|no",
// and every environment entry as "env:NAME=VALUE"; built as fake_javaw_jli.exe
// it also imports jli.dll, like a runtime's launcher, and records "library" and
// "library-path": which jli.dll it got and from where), then performs the
// actions listed, one per line, in the UTF-8 file named by QDTEST_CHILD_ACTIONS:
//
//   stderr <text>          write <text> and a line feed to the error output
//   stdout <text>          the same on the standard output
//   stderr-bytes <n>       write n bytes to the error output in 64 KiB writes
//   close-stderr           close the error output handle
//   sleep <ms>             sleep
//   window <title>         show a visible top-level window with that title
//   hidden-window <title>  create a window that is never shown
//   touch <path>           create an empty file (a signal to the test)
//   wait-file <path>       wait (at most 60 s) until the file exists
//   spawn <command line>   start a process that inherits this one's handles
//   spawn-self <ms>        start a copy of this program that inherits this one's
//                          handles (its output pipes too) and only sleeps <ms>
//   spawn-self-until <path> the same, the copy living until the file exists (at most 60 s)
//   stdin-to-stdout        copy the standard input to the standard output to its end
//   stdin-read-to-stdout   copy one read of the standard input (from a console: one
//                          line) to the standard output
//   stdin-to-file <path>   from now on, append whatever arrives on the standard input
//                          to the file, on a thread of its own, until its end
//   on-ctrl-c <code>       from now on, end with that exit code on Ctrl+C
//   send-ctrl-c            send Ctrl+C to every process of this console
//   load-library <path>    load the DLL by full path, as a Java runtime loads its
//                          libraries, and add "loaded=<identity>" to the record: the
//                          identity of the DLL it imports (fake_jli.cpp)
//   exit <code>            end with that exit code (default: 0 at the end)
//
// With QDTEST_COPY_EXIT set, a copy of the stand-in that runs under another name
// than the runtime's program (javaw.exe, java.exe) ends at once with that code,
// recording nothing, as the system's loader ends a program that it cannot load.
//
// A restarted child (-Dqdlauncher.restarted=<n> in its arguments) records into
// "<record file>.<n>" and takes its actions from "<actions file>.<n>" when
// that file exists, so that a test tells the runs apart and gives each its part.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#ifdef QDTEST_LOADS_JLI
extern "C" __declspec(dllimport) const wchar_t* qdTestLibraryIdentity();
#endif

namespace {

#ifdef QDTEST_CONSOLE
const wchar_t* const RUNTIME_PROGRAM = L"java.exe";
#else
const wchar_t* const RUNTIME_PROGRAM = L"javaw.exe";
#endif

// Lines that actions add to the record, which is then written again.
std::wstring addedRecordLines;

std::wstring environmentValue(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    if (n == 0 || n >= 32768) return L"";
    return std::wstring(buffer, n);
}

const wchar_t* handleType(HANDLE h) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return L"none";
    switch (GetFileType(h)) {
        case FILE_TYPE_PIPE: return L"pipe";
        case FILE_TYPE_DISK: return L"disk";
        case FILE_TYPE_CHAR: return L"char";
        default: return L"unknown";
    }
}

void writeRecord(const std::wstring& path) {
    std::wstring text;
    wchar_t buffer[32768];
    GetModuleFileNameW(nullptr, buffer, 32768);
    text += L"exe=" + std::wstring(buffer) + L"\n";
    text += L"commandline=" + std::wstring(GetCommandLineW()) + L"\n";
    GetCurrentDirectoryW(32768, buffer);
    text += L"cwd=" + std::wstring(buffer) + L"\n";
    text += L"stdin=" + std::wstring(handleType(GetStdHandle(STD_INPUT_HANDLE))) + L"\n";
    text += L"stdout=" + std::wstring(handleType(GetStdHandle(STD_OUTPUT_HANDLE))) + L"\n";
    text += L"stderr=" + std::wstring(handleType(GetStdHandle(STD_ERROR_HANDLE))) + L"\n";
    text += L"pid=" + std::to_wstring(GetCurrentProcessId()) + L"\n";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    swprintf(buffer, 32768, L"%lx", static_cast<unsigned long>(startup.dwFlags));
    text += L"startup-flags=" + std::wstring(buffer) + L"\n";
    text += L"startup-title=" + std::wstring(startup.lpTitle != nullptr ? startup.lpTitle : L"") + L"\n";
    std::wstring probes = environmentValue(L"QDTEST_PROBE_HANDLES");
    for (size_t at = 0; at < probes.size();) {
        size_t end = probes.find(L' ', at);
        if (end == std::wstring::npos) end = probes.size();
        std::wstring hex = probes.substr(at, end - at);
        if (!hex.empty()) {
            DWORD flags = 0;
            HANDLE value = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::stoull(hex, nullptr, 16)));
            text += L"inherited:" + hex + (GetHandleInformation(value, &flags) ? L"=yes\n" : L"=no\n");
        }
        at = end + 1;
    }
#ifdef QDTEST_LOADS_JLI
    text += L"library=" + std::wstring(qdTestLibraryIdentity()) + L"\n";
    GetModuleFileNameW(GetModuleHandleW(L"jli.dll"), buffer, 32768);
    text += L"library-path=" + std::wstring(buffer) + L"\n";
#endif
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != 0; entry += wcslen(entry) + 1) {
        text += L"env:" + std::wstring(entry) + L"\n";
    }
    FreeEnvironmentStringsW(block);
    text += addedRecordLines;

    // Written whole, then renamed, so a test never reads half a record.
    std::wstring temporary = path + L".part";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::wstring widen(const std::string& s) {
    if (s.empty()) return L"";
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::vector<std::string> readActionLines(const std::wstring& path) {
    std::vector<std::string> lines;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string data;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) data.append(chunk, got);
    CloseHandle(file);
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        std::string line = data.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void writeAll(HANDLE h, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcW(window, message, w, l);
}

HWND makeWindow(const std::wstring& title, bool visible) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QdTestChildWindow";
        RegisterClassW(&wc);
        registered = true;
    }
    HWND window = CreateWindowExW(0, L"QdTestChildWindow", title.c_str(), WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (visible) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

// Sleeps while keeping the windows of this thread responsive.
void pumpFor(DWORD milliseconds) {
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

// Starts a process that inherits this one's inheritable handles.
void startInheriting(std::wstring commandLine) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

// Waits (at most 60 s) until the file exists, keeping this thread's windows responsive.
void waitForFile(const std::wstring& path) {
    ULONGLONG deadline = GetTickCount64() + 60000;
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) pumpFor(20);
}

void copyInputToOutput(bool toTheEnd) {
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        writeAll(GetStdHandle(STD_OUTPUT_HANDLE), std::string(chunk, got));
        if (!toTheEnd) break;
    }
}

std::wstring inputCopyPath;

DWORD WINAPI copyInputToFile(LPVOID) {
    HANDLE file = CreateFileW(inputCopyPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        DWORD written = 0;
        WriteFile(file, chunk, got, &written, nullptr);
    }
    CloseHandle(file);
    return 0;
}

// A Java runtime's handler ends the runtime on Ctrl+C, with 130 after its
// shutdown hooks.
DWORD ctrlCExitCode;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT) ExitProcess(ctrlCExitCode);
    return FALSE;
}

bool runsUnderTheRuntimesName() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const wchar_t* name = wcsrchr(self, L'\\');
    return name != nullptr && _wcsicmp(name + 1, RUNTIME_PROGRAM) == 0;
}

std::wstring importedIdentity(const std::wstring& library) {
    HMODULE loaded = LoadLibraryW(library.c_str());
    if (loaded == nullptr) return L"(not loaded)";
    typedef const wchar_t* (*IdentityCall)();
    auto identity = reinterpret_cast<IdentityCall>(reinterpret_cast<void*>(GetProcAddress(loaded, "qdTestImportedIdentity")));
    return identity != nullptr ? identity() : L"(no identity)";
}

// ".<n>" for a child started with -Dqdlauncher.restarted=<n>, else empty.
std::wstring restartSuffix(const wchar_t* arguments) {
    const wchar_t property[] = L"-Dqdlauncher.restarted=";
    const wchar_t* at = wcsstr(arguments, property);
    if (at == nullptr) return L"";
    std::wstring suffix = L".";
    for (at += wcslen(property); *at >= L'0' && *at <= L'9'; ++at) suffix += *at;
    return suffix;
}

int runStandIn(const wchar_t* arguments) {
    std::wstring copyExit = environmentValue(L"QDTEST_COPY_EXIT");
    if (!copyExit.empty() && !runsUnderTheRuntimesName()) ExitProcess(static_cast<UINT>(std::stoul(copyExit, nullptr, 0)));

    // A grandchild started by "spawn-self": it only holds the inherited handles for a while.
    const wchar_t* sleepSwitch = wcsstr(arguments, L"--sleep-only ");
    if (sleepSwitch != nullptr) {
        Sleep(static_cast<DWORD>(_wtoi(sleepSwitch + 13)));
        return 0;
    }
    const wchar_t* untilSwitch = wcsstr(arguments, L"--until-file ");
    if (untilSwitch != nullptr) {
        waitForFile(untilSwitch + 13);
        return 0;
    }

    std::wstring suffix = restartSuffix(arguments);
    std::wstring recordPath = environmentValue(L"QDTEST_CHILD_RECORD");
    if (!recordPath.empty()) writeRecord(recordPath + suffix);
    std::wstring actionsPath = environmentValue(L"QDTEST_CHILD_ACTIONS");
    if (GetFileAttributesW((actionsPath + suffix).c_str()) != INVALID_FILE_ATTRIBUTES) actionsPath += suffix;

    int exitCode = 0;
    for (const std::string& line : readActionLines(actionsPath)) {
        size_t space = line.find(' ');
        std::string verb = line.substr(0, space);
        std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "stderr") {
            writeAll(GetStdHandle(STD_ERROR_HANDLE), argument + "\n");
        } else if (verb == "stdout") {
            writeAll(GetStdHandle(STD_OUTPUT_HANDLE), argument + "\n");
        } else if (verb == "stderr-bytes") {
            unsigned long long remaining = std::stoull(argument);
            std::string chunk(65536, 'x');
            while (remaining > 0) {
                size_t n = remaining < chunk.size() ? static_cast<size_t>(remaining) : chunk.size();
                DWORD written = 0;
                if (!WriteFile(GetStdHandle(STD_ERROR_HANDLE), chunk.data(), static_cast<DWORD>(n), &written, nullptr))
                    break;
                remaining -= n;
            }
        } else if (verb == "close-stderr") {
            CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
            SetStdHandle(STD_ERROR_HANDLE, nullptr);
        } else if (verb == "sleep") {
            pumpFor(static_cast<DWORD>(std::stoul(argument)));
        } else if (verb == "window") {
            makeWindow(widen(argument), true);
            pumpFor(50);
        } else if (verb == "hidden-window") {
            makeWindow(widen(argument), false);
        } else if (verb == "touch") {
            HANDLE f = CreateFileW(widen(argument).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        } else if (verb == "wait-file") {
            waitForFile(widen(argument));
        } else if (verb == "spawn") {
            startInheriting(widen(argument));
        } else if (verb == "spawn-self" || verb == "spawn-self-until") {
            wchar_t self[MAX_PATH] = {};
            GetModuleFileNameW(nullptr, self, MAX_PATH);
            const wchar_t* lifetime = verb == "spawn-self" ? L"\" --sleep-only " : L"\" --until-file ";
            startInheriting(L"\"" + std::wstring(self) + lifetime + widen(argument));
        } else if (verb == "stdin-to-stdout" || verb == "stdin-read-to-stdout") {
            copyInputToOutput(verb == "stdin-to-stdout");
        } else if (verb == "stdin-to-file") {
            inputCopyPath = widen(argument);
            CloseHandle(CreateThread(nullptr, 0, copyInputToFile, nullptr, 0, nullptr));
        } else if (verb == "on-ctrl-c") {
            ctrlCExitCode = static_cast<DWORD>(std::stoul(argument, nullptr, 0));
            SetConsoleCtrlHandler(onConsoleEvent, TRUE);
        } else if (verb == "send-ctrl-c") {
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        } else if (verb == "load-library") {
            addedRecordLines += L"loaded=" + importedIdentity(widen(argument)) + L"\n";
            if (!recordPath.empty()) writeRecord(recordPath);
        } else if (verb == "exit") {
            exitCode = static_cast<int>(std::stoul(argument, nullptr, 0));
            break;
        }
    }
    return exitCode;
}

} // namespace

#ifdef QDTEST_CONSOLE
int wmain(int, wchar_t**) { return runStandIn(GetCommandLineW()); }
#else
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) { return runStandIn(arguments); }
#endif
