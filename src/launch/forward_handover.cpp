// A later start's side of forwarding: hand the working directory and the
// arguments to the launcher that runs the application, within 5 seconds.
#include "launch/forwarding.h"

#include <aclapi.h>

#include "cmdline/launcher_args.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"
#include "launch/forward_identity.h"
#include "launch/forward_protocol.h"

namespace {

const DWORD HANDOVER_MS = 5000;
const wchar_t NO_ANSWER[] = L"no answer within 5 seconds";

// The request as it is sent: the header, then the texts (the argument text
// with room for the terminator the switch stripping needs).
union {
    ForwardRequestHeader header;
    unsigned char bytes[FORWARD_REQUEST_MAX_BYTES + sizeof(wchar_t)];
} request;

DWORD remainingMs(ULONGLONG deadline) {
    ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Why the start was not handed over, for the log; nullptr once it was.
struct Outcome {
    const wchar_t* reason;
    DWORD error;
};

Outcome refused(const wchar_t* reason, DWORD error = 0) { return Outcome{reason, error}; }

// Fills the request; its size in bytes, 0 when the start is too large to hand over.
DWORD composeRequest(const wchar_t* argumentText) {
    wchar_t* directory = reinterpret_cast<wchar_t*>(&request.header + 1);
    DWORD directoryLength = GetCurrentDirectoryW(PATH_CAPACITY, directory);
    if (directoryLength == 0 || directoryLength >= PATH_CAPACITY) return 0;
    wchar_t* arguments = directory + directoryLength;
    if (!copyText(arguments, FORWARD_ARGUMENTS_MAX + 1, argumentText)) return 0;
    DWORD argumentLength = static_cast<DWORD>(stripLauncherSwitches(arguments));
    request.header = ForwardRequestHeader{FORWARD_REQUEST_MAGIC, directoryLength, argumentLength};
    return static_cast<DWORD>(sizeof request.header + (directoryLength + argumentLength) * sizeof(wchar_t));
}

// The launcher at the other end must be this user's, in this session: a pipe
// of that name made by another user (who can make any name first) would
// otherwise receive the start. Only this user can make a pipe this user's.
const wchar_t* serverMismatch(HANDLE pipe) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool ownerIsUser = GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                       nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
                       EqualSid(owner, ownUser());
    if (descriptor != nullptr) LocalFree(descriptor);
    if (!ownerIsUser) return L"the pipe is not this user's";
    ULONG server = 0;
    DWORD serverSession = 0;
    if (!GetNamedPipeServerProcessId(pipe, &server) || !ProcessIdToSessionId(server, &serverSession) ||
        serverSession != ownSession()) {
        return L"server in another session";
    }
    return nullptr;
}

// Sends the request and reads the reply as one overlapped transaction that
// ends by the deadline; false when it failed or the time ran out (then
// cancelled).
bool exchange(HANDLE pipe, OVERLAPPED& io, DWORD requestSize, ForwardReply* reply, DWORD* done, ULONGLONG deadline) {
    DWORD messages = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(pipe, &messages, nullptr, nullptr)) return false;
    if (!TransactNamedPipe(pipe, request.bytes, requestSize, reply, sizeof *reply, nullptr, &io) &&
        GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    if (WaitForSingleObject(io.hEvent, remainingMs(deadline)) != WAIT_OBJECT_0) CancelIoEx(pipe, &io);
    return GetOverlappedResult(pipe, &io, done, TRUE) != FALSE;
}

Outcome talkTo(HANDLE pipe, DWORD requestSize, ULONGLONG deadline, DWORD* processId) {
    const wchar_t* mismatch = serverMismatch(pipe);
    if (mismatch != nullptr) return refused(mismatch);
    OVERLAPPED io = {};
    io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (io.hEvent == nullptr) return refused(L"no event", GetLastError());
    ForwardReply reply = {};
    DWORD done = 0;
    bool answered = exchange(pipe, io, requestSize, &reply, &done, deadline);
    DWORD error = answered ? 0 : GetLastError();
    CloseHandle(io.hEvent);
    if (!answered) {
        if (remainingMs(deadline) == 0) return refused(NO_ANSWER);
        return refused(L"connection closed", error);
    }
    if (done != sizeof reply || reply.magic != FORWARD_REPLY_MAGIC) return refused(L"unknown answer");
    if (reply.status == FORWARD_QUEUE_FULL) {
        return refused(L"queue full (the application does not read)");
    }
    if (reply.status != FORWARD_ACCEPTED) return refused(L"refused");
    *processId = reply.processId;
    return Outcome{nullptr, 0};
}

Outcome handOver(const wchar_t* argumentText, DWORD* processId) {
    ULONGLONG deadline = GetTickCount64() + HANDOVER_MS;
    if (!readOwnIdentity()) return refused(L"no user identity", GetLastError());

    // The running launcher holds the mutex from its creation until its
    // endpoint exists: once it is free, a missing endpoint is one that will
    // never be there.
    DWORD ready = WaitForSingleObject(instanceMutex, remainingMs(deadline));
    if (ready == WAIT_TIMEOUT) return refused(NO_ANSWER);
    if (ready == WAIT_OBJECT_0 || ready == WAIT_ABANDONED) ReleaseMutex(instanceMutex);

    wchar_t name[257];
    if (!ownEndpointName(name)) return refused(L"CFG_MUTEX too long");
    DWORD requestSize = composeRequest(argumentText);
    if (requestSize == 0) return refused(L"too long");

    for (;;) {
        // Identification only: the running launcher may check who this is, not act as this user.
        HANDLE pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            Outcome outcome = talkTo(pipe, requestSize, deadline, processId);
            CloseHandle(pipe);
            return outcome;
        }
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return refused(L"the running instance does not forward");
        if (error != ERROR_PIPE_BUSY) return refused(L"cannot connect", error);
        // Another start is being handed over: wait for the endpoint's turn.
        DWORD left = remainingMs(deadline);
        if (left == 0) return refused(NO_ANSWER);
        WaitNamedPipeW(name, left);
    }
}

} // namespace

bool handOverToRunningInstance(const wchar_t* argumentText, DWORD* applicationProcess) {
    *applicationProcess = 0;
    Outcome outcome = handOver(argumentText, applicationProcess);
    // After "Instance already exists.", which ends without a line break.
    if (outcome.reason == nullptr) logLine("\nForwarded to:\tprocess %d\n", static_cast<int>(*applicationProcess));
    else logLine("\nNot forwarded:\t%s (error %d)\n", outcome.reason, static_cast<int>(outcome.error));
    return outcome.reason == nullptr;
}
