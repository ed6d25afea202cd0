// What a later start of a single-instance application hands to the launcher
// that runs it, and the line that launcher writes to the application's
// standard input for it. Pure functions: no system calls.
//
// The request, one pipe message: a ForwardRequestHeader, then the start's
// working directory and then its argument text (less the launcher's own
// switches), both UTF-16 without terminators. The reply, one message: a
// ForwardReply. The running launcher splits the argument text itself, so what
// reaches the application is exactly what its main(String[]) would have
// received, whatever the sender did.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "core/launch_state.h"

struct ForwardRequestHeader {
    DWORD magic;
    DWORD directoryLength; // UTF-16 units
    DWORD argumentLength;  // UTF-16 units
};

enum : DWORD {
    FORWARD_REQUEST_MAGIC = 0x31445751, // "QWD1"
    FORWARD_REPLY_MAGIC = 0x31525751,   // "QWR1"
};

enum : size_t {
    // The longest working directory (a path) and the longest argument text (a
    // command line) a start can have.
    FORWARD_DIRECTORY_MAX = PATH_CAPACITY - 1,
    FORWARD_ARGUMENTS_MAX = LONG_TEXT_CAPACITY - 1,
    FORWARD_REQUEST_MAX_BYTES =
        sizeof(ForwardRequestHeader) + (FORWARD_DIRECTORY_MAX + FORWARD_ARGUMENTS_MAX) * sizeof(wchar_t),
};

enum ForwardStatus : DWORD {
    FORWARD_ACCEPTED = 1,  // queued for the application
    FORWARD_MALFORMED = 2, // refused: not a well-formed request
    FORWARD_QUEUE_FULL = 3 // refused: the application has not read what is waiting
};

struct ForwardReply {
    DWORD magic;
    DWORD status;    // ForwardStatus
    DWORD processId; // the application's, with FORWARD_ACCEPTED
};

// The parts of a well-formed request, pointing into its bytes.
struct ForwardRequest {
    const wchar_t* directory;
    size_t directoryLength;
    const wchar_t* arguments;
    size_t argumentLength;
};

// Whether `size` bytes received as a request (`bytes` aligned for a DWORD)
// are well formed, and then its parts in `request`. Well formed: the magic; a
// working directory of 1 to 259 units; an argument text of at most 32767;
// exactly the size the lengths say; no zero unit in either text.
bool checkForwardRequest(const void* bytes, size_t size, ForwardRequest* request);

// The pipe that takes later starts of the application whose single-instance
// mutex is `mutexName`, in session `session`:
// \\.\pipe\qdlauncher-forward-<session>-<mutex name>, the name with every "\"
// written "%5C" and every "%" "%25" (a pipe name cannot hold a backslash, and
// no two mutex names may meet in one pipe). False when the result would be
// longer than the 256 characters a pipe name may have.
bool composeEndpointName(wchar_t (&name)[257], unsigned long session, const wchar_t* mutexName);

// The most bytes one step of encodeForwardLine writes: a character beyond
// U+FFFF as four percent-encoded bytes.
enum : size_t { FORWARD_LINE_STEP_BYTES = 12 };

// The line for the application, encoded piece by piece: `fields` (`length`
// units) are the working directory and then each argument, every one followed
// by a zero unit. Each field becomes UTF-8 with every byte other than A-Z a-z
// 0-9 - . _ ~ : / \ written as %XX (upper-case hexadecimal); the fields are
// joined by a TAB and the line ends with a line feed. A surrogate without its
// partner, which UTF-8 cannot carry, becomes U+FFFD.
//
// Encodes from fields[*position] on into `out` while at least
// FORWARD_LINE_STEP_BYTES of its `capacity` bytes are free, advances
// *position past what it encoded and returns the number of bytes written.
size_t encodeForwardLine(const wchar_t* fields, size_t length, size_t* position, char* out, size_t capacity);
