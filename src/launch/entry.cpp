// The program's entry point.
//
// The launcher links without the C runtime's start-up code (-nostartfiles,
// entry launcherEntry): that code, with its exception filter, pseudo-relocation,
// TLS and argument-vector support, their imports and their sections, took
// 9 KB of the executable, and the launcher needs none of it. It has no static
// constructors or destructors, no thread-local data, no floating point, no
// stdio, no atexit functions, no signal handlers and no heap of its own (the
// start-up's exception filter only passed exceptions on to such handlers),
// and the one C runtime function it calls, iswalnum, works straight away,
// since msvcrt.dll initialises itself when it is loaded. What the start-up
// computed for wWinMain is computed here the same way: the argument text
// (launch/program_name.h) and the show code; wWinMain's result goes to
// ExitProcess, which is where the start-up's exit ended too.
//
// A console form of the launcher uses the same entry: it is built with
// QD_CONSOLE defined and linked for the console subsystem.
#include <windows.h>

#include "launch/launch_sequence.h"
#include "launch/program_name.h"

// The start of this executable's image, which is its instance handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

#ifdef QD_CONSOLE
// A console program has no show code of its own: its first window takes the
// one its starter chose, as SW_SHOWDEFAULT says.
int startupShowCode() { return SW_SHOWDEFAULT; }
#else
// The show code the starter asked for, as wWinMain receives it.
int startupShowCode() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}
#endif

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR argumentText, int showCode) {
    return launcherMain(instance, argumentText, showCode);
}

extern "C" __attribute__((used, noreturn)) void launcherEntry() {
    // Only the system directory may supply DLLs: a DLL dropped next to the
    // launcher (in a downloads folder, say) is never loaded.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    PWSTR argumentText = const_cast<PWSTR>(skipProgramName(GetCommandLineW()));
    int exitCode = wWinMain(reinterpret_cast<HINSTANCE>(&__ImageBase), nullptr, argumentText, startupShowCode());
    ExitProcess(static_cast<UINT>(exitCode));
}
