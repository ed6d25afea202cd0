// The window and shell functions the launcher needs only on some paths: a
// report, the low-memory question, the splash screen, the wait loop and the
// activation of a running instance. A normal launch needs none of them, so
// user32.dll, gdi32.dll, shell32.dll and ole32.dll are bound on first use, from the
// system directory only, which keeps the start-up import list small and the
// start fast.
#pragma once

#include <windows.h>

// Function pointers only, in the order of their names in ui_calls.cpp.
struct UserCalls {
    decltype(&::MessageBoxW) MessageBoxW;
    decltype(&::CreateWindowExW) CreateWindowExW;
    decltype(&::LoadImageW) LoadImageW;
    decltype(&::SendMessageW) SendMessageW;
    decltype(&::GetWindowRect) GetWindowRect;
    decltype(&::GetSystemMetrics) GetSystemMetrics;
    decltype(&::SetWindowPos) SetWindowPos;
    decltype(&::ShowWindow) ShowWindow;
    decltype(&::UpdateWindow) UpdateWindow;
    decltype(&::SetTimer) SetTimer;
    decltype(&::DestroyWindow) DestroyWindow;
    decltype(&::MsgWaitForMultipleObjectsEx) MsgWaitForMultipleObjectsEx;
    decltype(&::PeekMessageW) PeekMessageW;
    decltype(&::TranslateMessage) TranslateMessage;
    decltype(&::DispatchMessageW) DispatchMessageW;
    decltype(&::EnumWindows) EnumWindows;
    decltype(&::GetWindowThreadProcessId) GetWindowThreadProcessId;
    decltype(&::GetWindowLongW) GetWindowLongW;
    decltype(&::FindWindowExW) FindWindowExW;
    decltype(&::GetWindowTextW) GetWindowTextW;
    decltype(&::SetForegroundWindow) SetForegroundWindow;
    decltype(&::SetWindowLongW) SetWindowLongW;
    decltype(&::UpdateLayeredWindow) UpdateLayeredWindow;
    decltype(&::GetDC) GetDC;
    decltype(&::ReleaseDC) ReleaseDC;
    // Windows 10 1607 and later only; nullptr where the system lacks it.
    decltype(&::GetDpiForWindow) GetDpiForWindow;
};

// The GDI functions that build a splash picture the launcher draws itself
// (function pointers only, in the order of their names in ui_calls.cpp).
struct GdiCalls {
    decltype(&::CreateCompatibleDC) CreateCompatibleDC;
    decltype(&::CreateDIBSection) CreateDIBSection;
    decltype(&::SelectObject) SelectObject;
    decltype(&::DeleteDC) DeleteDC;
    decltype(&::DeleteObject) DeleteObject;
    decltype(&::GetDeviceCaps) GetDeviceCaps;
};

// The bound functions; valid after bindUserCalls() returned true.
extern UserCalls user32;

// Binds user32.dll on first use.
bool bindUserCalls();

// The bound functions; valid after bindGdiCalls() returned true.
extern GdiCalls gdi32;

// Binds gdi32.dll on first use; only a splash with transparency or one scaled
// to the monitor needs it.
bool bindGdiCalls();

// Whether this run has bound user32 (and so may have had windows).
bool userCallsInUse();

// A message box with no owner window; 0 when user32 cannot be bound.
int showMessageBox(const wchar_t* text, const wchar_t* title, UINT type);

// Asks the shell to open a web page or document; failures are silent. COM is
// initialised on the thread first (apartment-threaded, without OLE1 DDE), as
// the shell requires: some of its handlers are COM objects.
void openWithShell(const wchar_t* target);
