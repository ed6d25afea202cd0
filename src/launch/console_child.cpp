#include "launch/console_child.h"

namespace {

const DWORD STANDARD_HANDLES[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

// Written by the handler's thread, read by the main thread.
volatile LONG interruptsSeen;

bool isKernelHandle(HANDLE handle) {
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(handle);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && (value & 3) == 0;
}

} // namespace

size_t shareStandardHandles(STARTUPINFOW& startup, HANDLE (&listed)[3]) {
    HANDLE* slots[3] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    size_t count = 0;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    for (size_t i = 0; i < 3; ++i) {
        HANDLE handle = GetStdHandle(STANDARD_HANDLES[i]);
        *slots[i] = handle;
        // A standard handle need not be inheritable (a console's own, or one
        // its starter did not mean to pass on); only inheritable handles go
        // through the list. One that cannot be made so is left out: the child
        // then has no such handle, as if started with none.
        if (isKernelHandle(handle) && SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
            listed[count++] = handle;
        }
    }
    return count;
}

DWORD consoleCreationFlags() {
    DWORD attached = 0;
    return GetConsoleProcessList(&attached, 1) == 0 ? DETACHED_PROCESS : 0;
}

ConsoleEventAction consoleEventAction(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: return CONSOLE_EVENT_SURVIVED;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: return CONSOLE_EVENT_HELD;
        default: return CONSOLE_EVENT_PASSED_ON;
    }
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    ConsoleEventAction action = consoleEventAction(event);
    if (action == CONSOLE_EVENT_PASSED_ON) return FALSE;
    if (action == CONSOLE_EVENT_SURVIVED) InterlockedIncrement(&interruptsSeen);
    // The system calls the handler on a thread of its own; the main thread
    // keeps waiting for the child meanwhile and ends the launcher with the
    // child's exit code. After a close, the system ends the launcher itself
    // once its time for handlers is up, should the child outlive that.
    if (action == CONSOLE_EVENT_HELD) Sleep(INFINITE);
    return TRUE;
}

void watchConsoleEvents() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

LONG consoleInterrupts() { return interruptsSeen; }
