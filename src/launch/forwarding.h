// Later starts of a single-instance application handed to the launcher that
// runs it (CFG_FORWARD_ARGUMENTS, GUI launcher only).
//
// The running launcher (the one that claimed CFG_MUTEX) owns one endpoint, a
// named pipe that only its user in its session can reach, and one queue of
// starts; both live as long as its process. Each child it starts gets a pipe
// of its own as its standard input, to which the launcher writes every queued
// start as one line (forward_protocol.h). Nothing here ever blocks: the pipes
// are driven by overlapped I/O from the launcher's wait for the child, and a
// line waits in the queue until the application reads. The queue is not tied
// to a child: lines not yet written when a child ends wait for the next child
// the same process starts, and go to it whole.
//
// A later start finds the mutex taken, hands its working directory and
// arguments over (handOverToRunningInstance) and learns the application's
// process id, so that it can let that process take the foreground.
#pragma once

#include <windows.h>

// Whether this launcher forwards later starts: the GUI launcher with
// CFG_FORWARD_ARGUMENTS true.
bool forwardsStarts();

// Opens the endpoint (first instance, right after claiming the mutex). A
// failure is logged and leaves forwarding off; the launch goes on.
void openForwardEndpoint();

// The pipe that becomes the next child's standard input: the child's end,
// synchronous and inheritable, for its start-up information, or nullptr
// without forwarding (the child then has no standard input, as without the
// record). The handle stays forwarding's own: the caller only passes it on,
// and endChildInput closes it (after reading back what the child left
// unread, which goes first to the next child). A pipe that
// cannot be made turns forwarding off (logged), so no later start is taken
// that could not reach the application.
HANDLE openChildInput();

// The child has ended: what it left unread in its input is kept for the next
// child, in front of the queue (a line it read in part is dropped), and its
// input pipe is closed.
void endChildInput();

// The events the wait for the child adds to its own (at most
// FORWARD_WAIT_HANDLES), the longest it may wait before serviceForwarding must
// run (INFINITE: no limit), and the step that runs after any of them fired or
// the time passed.
enum : DWORD { FORWARD_WAIT_HANDLES = 2 };
DWORD forwardingWaitHandles(HANDLE* handles);
DWORD forwardingTimeout();
void serviceForwarding();

// A later start: hands the working directory and `argumentText` (less the
// launcher's switches) to the running launcher, waiting at most 5 seconds in
// all. True once the running launcher took the start, with the application's
// process id (0 when its child has not started yet); false when it did not
// (the reason is logged).
bool handOverToRunningInstance(const wchar_t* argumentText, DWORD* applicationProcess);
