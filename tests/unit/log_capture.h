// Points the launcher's debug log at a file of the test's own for the duration
// of one test, and gives back the exact bytes written.
#pragma once

#include <windows.h>

#include <string>

#include "core/launch_state.h"
#include "diag/debug_log.h"

class LogCapture {
public:
    LogCapture() {
        wchar_t directory[MAX_PATH];
        GetTempPathW(MAX_PATH, directory);
        wchar_t name[MAX_PATH];
        GetTempFileNameW(directory, L"qdl", 0, name);
        path = name;
        logFile = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (logFile == INVALID_HANDLE_VALUE) logFile = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture() {
        closeDebugLog();
        DeleteFileW(path.c_str());
    }

    bool open() const { return logFile != nullptr; }

    // Closes the log and returns everything written to it.
    std::string bytes() {
        closeDebugLog();
        std::string content;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return content;
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
        CloseHandle(file);
        return content;
    }

private:
    std::wstring path;
};
