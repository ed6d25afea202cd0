#include "diag/ui_calls.h"

#include <objbase.h>

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
    if (userCallsBound) return true;
    HMODULE module = loadSystemLibrary(L"user32.dll");
    bool ok = module != nullptr;
    if (ok) {
        ok = bindCall(module, "MessageBoxW", user32.MessageBoxW) &&
             bindCall(module, "CreateWindowExW", user32.CreateWindowExW) &&
             bindCall(module, "LoadImageW", user32.LoadImageW) &&
             bindCall(module, "SendMessageW", user32.SendMessageW) &&
             bindCall(module, "GetWindowRect", user32.GetWindowRect) &&
             bindCall(module, "GetSystemMetrics", user32.GetSystemMetrics) &&
             bindCall(module, "SetWindowPos", user32.SetWindowPos) &&
             bindCall(module, "ShowWindow", user32.ShowWindow) &&
             bindCall(module, "UpdateWindow", user32.UpdateWindow) &&
             bindCall(module, "SetTimer", user32.SetTimer) &&
             bindCall(module, "KillTimer", user32.KillTimer) &&
             bindCall(module, "DestroyWindow", user32.DestroyWindow) &&
             bindCall(module, "MsgWaitForMultipleObjectsEx", user32.MsgWaitForMultipleObjectsEx) &&
             bindCall(module, "PeekMessageW", user32.PeekMessageW) &&
             bindCall(module, "TranslateMessage", user32.TranslateMessage) &&
             bindCall(module, "DispatchMessageW", user32.DispatchMessageW) &&
             bindCall(module, "EnumWindows", user32.EnumWindows) &&
             bindCall(module, "GetWindowThreadProcessId", user32.GetWindowThreadProcessId) &&
             bindCall(module, "GetWindowLongW", user32.GetWindowLongW) &&
             bindCall(module, "FindWindowExW", user32.FindWindowExW) &&
             bindCall(module, "GetWindowTextW", user32.GetWindowTextW) &&
             bindCall(module, "SetForegroundWindow", user32.SetForegroundWindow) &&
             bindCall(module, "SetWindowLongW", user32.SetWindowLongW) &&
             bindCall(module, "UpdateLayeredWindow", user32.UpdateLayeredWindow);
        if (ok) bindCall(module, "GetDpiForWindow", user32.GetDpiForWindow);
    }
    userCallsBound = ok;
    return ok;
}

bool bindGdiCalls() {
    if (gdiCallsBound) return true;
    HMODULE module = loadSystemLibrary(L"gdi32.dll");
    gdiCallsBound = module != nullptr && bindCall(module, "CreateCompatibleDC", gdi32.CreateCompatibleDC) &&
                    bindCall(module, "CreateDIBSection", gdi32.CreateDIBSection) &&
                    bindCall(module, "SelectObject", gdi32.SelectObject) &&
                    bindCall(module, "DeleteDC", gdi32.DeleteDC) &&
                    bindCall(module, "DeleteObject", gdi32.DeleteObject);
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
