// The run of one launch: preparation, the child's start and supervision, and
// the exits. launcherMain's result is the process exit code.
#pragma once

#include <windows.h>

// Results of prepareLaunch.
enum : int {
    PREPARE_FAILED = 0,
    PREPARE_READY = 1,
    PREPARE_ANOTHER_INSTANCE = 183, // ERROR_ALREADY_EXISTS
};

// Exit codes of the launcher besides the child's own.
enum : int {
    EXIT_REPORTED_FAILURE = 1,
    EXIT_ANOTHER_INSTANCE = 2,
};

int launcherMain(HINSTANCE instance, const wchar_t* argumentText, int showCode);

// Ordered preparation of a launch; see the step list in prepare_launch.cpp.
int prepareLaunch(const wchar_t* argumentText);

// Starts launcherPath with launcherArgs as the child; 0 when started, -1 when not.
int startChild();
// Closes the child's handles and the debug log.
void releaseChild();
// Brings the running instance's window (CFG_INSTANCE_TITLE) to the front.
void activateRunningInstance();
