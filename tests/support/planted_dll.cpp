// A DLL planted next to the launcher under the name of a system DLL. When it
// is loaded it leaves a marker file named by QDTEST_PLANTED_MARKER, so a test
// can tell whether the launcher ever loaded a DLL from its own folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t marker[MAX_PATH];
        if (GetEnvironmentVariableW(L"QDTEST_PLANTED_MARKER", marker, MAX_PATH) > 0) {
            HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return TRUE;
}
