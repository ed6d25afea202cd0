// The program's entry point.
//
// The launcher links without the C runtime's start-up code (-nostartfiles,
// entry launcherEntry): that code, with its exception filter, pseudo-relocation,
// TLS and argument-vector support, their imports and their sections, took
// 9 KB of the executable, and the launcher needs none of it. It has no static
// constructors or destructors, no thread-local data, no floating point, no
// stdio, no atexit functions, no signal handlers and no heap of its own (the
// start-up's exception filter only passed exceptions on to such handlers),
// and the two C runtime functions it calls, iswalnum and strlen, work straight
// away, since msvcrt.dll initialises itself when it is loaded. What the start-up
// computed for wWinMain is computed here the same way: the argument text
// (launch/program_name.h) and the show code; wWinMain's result goes to
// ExitProcess, which is where the start-up's exit ended too.
//
// The console launcher uses the same entry: built with QD_CONSOLE and linked
// for the console subsystem, it calls wmain instead of wWinMain. The C
// runtime's console start-up adds nothing a console program needs here: it
// would split the command line into argv (the launcher hands the text on
// unsplit, as the GUI launcher does), set up stdio (the launcher writes with
// WriteFile and WriteConsoleW) and install handlers the launcher has no use
// for; Ctrl+C is the launcher's own concern (launch/console_child.h).
#include <windows.h>

#include "launch/launch_sequence.h"
#include "launch/program_name.h"

// The start of this executable's image, which is its instance handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE thisInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

PWSTR argumentText() { return const_cast<PWSTR>(skipProgramName(GetCommandLineW())); }

#ifndef QD_CONSOLE
// The show code the starter asked for, as wWinMain receives it.
int startupShowCode() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}
#endif

} // namespace

#ifdef QD_CONSOLE
// The console launcher's main function, in its form without parameters: like
// the GUI launcher it takes the command line as one text, which it reads
// itself. A console program has no show code; a window it showed would take
// the one its starter chose, as SW_SHOWDEFAULT says.
int wmain() { return launcherMain(thisInstance(), argumentText(), SW_SHOWDEFAULT); }
#else
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR argumentText, int showCode) {
    return launcherMain(instance, argumentText, showCode);
}
#endif

extern "C" __attribute__((used, noreturn)) void launcherEntry() {
    // Only the system directory may supply DLLs: a DLL dropped next to the
    // launcher (in a downloads folder, say) is never loaded.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#ifdef QD_CONSOLE
    int exitCode = wmain();
#else
    int exitCode = wWinMain(thisInstance(), nullptr, argumentText(), startupShowCode());
#endif
    ExitProcess(static_cast<UINT>(exitCode));
}
