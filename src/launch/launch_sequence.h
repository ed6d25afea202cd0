// The run of one launch: preparation, the child's start and supervision, and
// the exits. launcherMain's result is the process exit code.
#pragma once

#include <windows.h>

// Results of prepareProcess and prepareChild.
enum : int {
    PREPARE_FAILED = 0,
    PREPARE_READY = 1,
    PREPARE_ANOTHER_INSTANCE = 183, // ERROR_ALREADY_EXISTS
};

// Exit codes of the launcher besides the child's own.
enum : int {
    EXIT_HANDED_OVER = 0, // another instance took this start's arguments
    EXIT_REPORTED_FAILURE = 1,
    EXIT_ANOTHER_INSTANCE = 2,
};

int launcherMain(HINSTANCE instance, const wchar_t* argumentText, int showCode);

// The preparation of the launcher's process, once: its path, the debug log,
// the title and messages, the single-instance mutex, the starting directory
// and the restart code. PREPARE_READY, PREPARE_FAILED (messageText ready) or
// PREPARE_ANOTHER_INSTANCE; see the step list in prepare_launch.cpp.
int prepareProcess(const wchar_t* argumentText);

// The preparation of one child, for the first start and again for every
// restart: working directory, runtime, environment, heap and command line.
// PREPARE_READY or PREPARE_FAILED (messageText ready).
int prepareChild(const wchar_t* argumentText);

// Starts launcherPath with launcherArgs as the child; 0 when started, -1 when
// not (messageText and failureCode ready for the report). The child inherits
// only the handles that listInheritedHandles names.
int startChild();

// Fills `list` with the handles the child inherits: the write ends of its
// output pipes and its input pipe, then `extra` ones (a console variant's own
// standard handles, say). The single-instance mutex is never among them. Absent
// handles and repeats are left out, and so is anything beyond the list's room.
// Returns their number.
enum : size_t { MAX_INHERITED_HANDLES = 8 };
size_t listInheritedHandles(HANDLE (&list)[MAX_INHERITED_HANDLES], const HANDLE* extra, size_t extraCount);

// A process-thread attribute list, in a fixed buffer, that restricts
// inheritance to `handles` (each inheritable, none twice). nullptr, with
// messageText or failureCode ready for the report, when it cannot be made.
// The caller deletes it after CreateProcessW.
LPPROC_THREAD_ATTRIBUTE_LIST inheritOnly(const HANDLE* handles, size_t count);
// Closes the child's handles and the debug log.
void releaseChild();
// Brings the running instance's window (CFG_INSTANCE_TITLE) to the front,
// after letting `applicationProcess` (when not 0) take the foreground itself.
void activateRunningInstance(DWORD applicationProcess);
