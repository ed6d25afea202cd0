// The console launcher's child: it shares the launcher's console and standard
// handles, and the launcher lives through the console's Ctrl+C, Ctrl+Break
// and close events for as long as the child runs.
#pragma once

#include <windows.h>

// Gives the child the launcher's standard input, output and error: sets them
// in `startup` (with STARTF_USESTDHANDLES) and makes each inheritable. Returns
// in `listed` those that go in the list of inherited handles, and their
// number: the kernel handles. Before Windows 8 the handles of a console are
// values of the console's own, with the two low bits set (kernel handles have
// them clear); the list refuses them, and the system gives them to a console
// child by its own rules.
size_t shareStandardHandles(STARTUPINFOW& startup, HANDLE (&listed)[3]);

// Creation flags for the child besides the priority class: none when the
// launcher has a console, which the child then shares; DETACHED_PROCESS when
// it has none (started detached, or from a service), so that the child does
// not get a console window of its own either.
DWORD consoleCreationFlags();

// Registers onConsoleEvent, once for the launcher's whole run. Called right
// before the first child is started: until then Ctrl+C ends the launcher as
// usual. The handler is a routine of this process only; the console's
// "ignore Ctrl+C" setting (SetConsoleCtrlHandler(NULL, TRUE)) is never used,
// since a child inherits it and the Java runtime would then ignore Ctrl+C too.
void watchConsoleEvents();

// How many Ctrl+C and Ctrl+Break events the launcher has lived through. A
// restart is not started when one came after the last child had ended: with
// no child to take it, the key press would be lost and the application would
// come back although the user asked it to stop.
LONG consoleInterrupts();

// --- The decisions (for tests) ---------------------------------------------

enum ConsoleEventAction {
    // Ctrl+C, Ctrl+Break: every process of the console gets the event; the
    // child decides what it means, the launcher goes on waiting for it.
    CONSOLE_EVENT_SURVIVED,
    // The console closes, the user logs off, the system shuts down: the
    // system ends the launcher once its handlers return, so the handler does
    // not return. The child, which got the event first, ends; the launcher's
    // wait then returns its exit code as usual.
    CONSOLE_EVENT_HELD,
    // An event this launcher does not know: the next handler (the system's
    // own in the end) takes it.
    CONSOLE_EVENT_PASSED_ON,
};
ConsoleEventAction consoleEventAction(DWORD event);

// The handler routine: TRUE for a survived event, FALSE for one passed on;
// never returns for a held one.
BOOL WINAPI onConsoleEvent(DWORD event);
