#include "diag/ui_calls.h"

#include <objbase.h>
#include <string.h>

UserCalls user32;
GdiCalls gdi32;

namespace {

bool userCallsBound;
bool gdiCallsBound;

template <typename Function>
bool bindCall(HMODULE module, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return slot != nullptr;
}

HMODULE loadSystemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The names of the members of UserCalls and GdiCalls, in their order.
constexpr char USER_CALL_NAMES[] =
    "MessageBoxW\0CreateWindowExW\0LoadImageW\0SendMessageW\0GetWindowRect\0GetSystemMetrics\0SetWindowPos\0"
    "ShowWindow\0UpdateWindow\0SetTimer\0DestroyWindow\0MsgWaitForMultipleObjectsEx\0PeekMessageW\0"
    "TranslateMessage\0DispatchMessageW\0EnumWindows\0GetWindowThreadProcessId\0GetWindowLongW\0FindWindowExW\0"
    "GetWindowTextW\0SetForegroundWindow\0SetWindowLongW\0UpdateLayeredWindow\0GetDC\0ReleaseDC\0GetDpiForWindow";
constexpr char GDI_CALL_NAMES[] = "CreateCompatibleDC\0CreateDIBSection\0SelectObject\0DeleteDC\0DeleteObject\0GetDeviceCaps";

constexpr size_t nameCount(const char* names, size_t size) {
    size_t count = 1;
    for (size_t i = 0; i + 1 < size; ++i) count += names[i] == 0;
    return count;
}
static_assert(nameCount(USER_CALL_NAMES, sizeof USER_CALL_NAMES) == sizeof(UserCalls) / sizeof(FARPROC),
              "one name for each member of UserCalls");
static_assert(nameCount(GDI_CALL_NAMES, sizeof GDI_CALL_NAMES) == sizeof(GdiCalls) / sizeof(FARPROC),
              "one name for each member of GdiCalls");

// Fills `calls`, a struct of nothing but function pointers, from the system
// DLL `library` by `names`; the last `optional` ones may be missing (they stay nullptr). One
// table instead of one call per function keeps the launcher small.
template <typename Calls>
bool bindCalls(const wchar_t* library, const char* names, Calls& calls, size_t optional) {
    HMODULE module = loadSystemLibrary(library);
    if (module == nullptr) return false;
    const size_t count = sizeof(Calls) / sizeof(FARPROC);
    for (size_t i = 0; i < count; ++i, names += strlen(names) + 1) {
        FARPROC function = GetProcAddress(module, names);
        if (function == nullptr && i < count - optional) return false;
        memcpy(reinterpret_cast<char*>(&calls) + i * sizeof function, &function, sizeof function);
    }
    return true;
}

// COM stays initialised for the rest of the run: a handler may go on working
// in this apartment after ShellExecuteW has returned, and the launcher's wait
// for the child keeps pumping its messages (launcher_main.cpp).
void initialiseComOnce() {
    static bool initialised;
    if (initialised) return;
    initialised = true;
    HMODULE module = loadSystemLibrary(L"ole32.dll");
    if (module == nullptr) return;
    decltype(&::CoInitializeEx) coInitializeEx = nullptr;
    if (bindCall(module, "CoInitializeEx", coInitializeEx)) {
        coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    }
}

} // namespace

bool bindUserCalls() {
    if (!userCallsBound) userCallsBound = bindCalls(L"user32.dll", USER_CALL_NAMES, user32, 1);
    return userCallsBound;
}

bool bindGdiCalls() {
    if (!gdiCallsBound) gdiCallsBound = bindCalls(L"gdi32.dll", GDI_CALL_NAMES, gdi32, 0);
    return gdiCallsBound;
}

bool userCallsInUse() { return userCallsBound; }

int showMessageBox(const wchar_t* text, const wchar_t* title, UINT type) {
    if (!bindUserCalls()) return 0;
    return user32.MessageBoxW(nullptr, text, title, type);
}

void openWithShell(const wchar_t* target) {
    initialiseComOnce();
    HMODULE module = loadSystemLibrary(L"shell32.dll");
    if (module == nullptr) return;
    decltype(&::ShellExecuteW) shellExecute = nullptr;
    if (bindCall(module, "ShellExecuteW", shellExecute)) {
        shellExecute(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
    }
}
