// The running launcher's side of forwarding: the endpoint that takes later
// starts, the queue, and the writing of queued starts to the child's input.
#include "launch/forwarding.h"

#include "cmdline/argument_split.h"
#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "core/launcher_variant.h"
#include "diag/debug_log.h"
#include "launch/forward_identity.h"
#include "launch/forward_protocol.h"

namespace {

// A client has this long to send its request and read the reply, counted from
// its connection; then the endpoint drops it and takes the next.
const DWORD CONNECTION_MS = 5000;

// The queue: entries of two units holding the length of the fields, then the
// fields (forward_protocol.h: the working directory and each argument, each
// followed by a zero unit), so a start takes at most its characters and 4
// units. 131072 units (256 KiB) hold a start of the greatest size (259 +
// 32767 characters) and 190 KiB besides: 65 starts of 1500 characters.
const size_t QUEUE_UNITS = 131072;
wchar_t queue[QUEUE_UNITS];
size_t queueUsed;
// The entry just taken, behind queueUsed: it joins the queue once the reply
// that says so has gone out.
size_t stagedUnits;

size_t entryLength(const wchar_t* entry) { return entry[0] | static_cast<size_t>(entry[1]) << 16; }

// The conversation with one client: its request, the reply, and then its next
// request or, once it has read the reply, its leaving.
enum EndpointStep { LISTENING, READING, REPLYING };

HANDLE endpoint;
OVERLAPPED endpointIo;
EndpointStep step;
bool endpointBusy;  // an operation of `step` is in flight
ULONGLONG deadline; // of the connected client
alignas(8) unsigned char requestBytes[FORWARD_REQUEST_MAX_BYTES];
ForwardReply reply;

// The child's input: the launcher's end, the chunk in flight and where in the
// first entry it ends.
HANDLE inputPipe;
OVERLAPPED inputIo;
bool inputBusy;
char chunk[4096];
size_t chunkLength;
size_t chunkEnd;
bool chunkFromCarry;
size_t linePosition; // units of the first entry already written
unsigned inputPipes; // for unique names

// The child's end of its input, which the launcher keeps after the child has
// inherited it: what the child left unread when it ends is still in the pipe
// and is read back from here. Held, it also keeps the pipe open for writing
// when the child closes its input, so lines wait for a next child instead of
// being lost.
HANDLE inputReadBack;

// Lines read back from an ended child's input: the next child gets them first,
// before the queue. carrySent of the carryUsed bytes have gone to its pipe.
const size_t CARRY_BYTES = 65536;
char carry[CARRY_BYTES];
size_t carryUsed;
size_t carrySent;
char drained[CARRY_BYTES];

// The last bytes written to the current child's input and how many in all: a
// child that read a line in part leaves its tail, which is dropped.
const size_t SENT_TAIL_BYTES = 2 * CARRY_BYTES; // a power of two
char sentTail[SENT_TAIL_BYTES];
unsigned long long sentBytes;

void logOff(const wchar_t* reason, DWORD error) {
    logLine("Forwarding off:\t%s (error %d)\n", reason, static_cast<int>(error));
}

// Ends an operation in flight on `pipe`: it is cancelled and its end awaited.
void cancelIo(HANDLE pipe, OVERLAPPED& io, bool& busy) {
    if (!busy) return;
    DWORD ignored = 0;
    CancelIoEx(pipe, &io);
    GetOverlappedResult(pipe, &io, &ignored, TRUE);
    busy = false;
}

void closeEndpoint(const wchar_t* reason, DWORD error) {
    logOff(reason, error);
    cancelIo(endpoint, endpointIo, endpointBusy);
    CloseHandle(endpoint);
    endpoint = nullptr;
}

// The client is checked by impersonating it at the identification level it
// allows: the launcher reads its token, never acts as it.
bool clientIsOwn() {
    if (!ImpersonateNamedPipeClient(endpoint)) return false;
    HANDLE token = nullptr;
    bool own = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) && tokenIsOwn(token);
    if (token != nullptr) CloseHandle(token);
    if (!RevertToSelf()) {
        // Never go on in a client's name.
        closeEndpoint(L"cannot revert to self", GetLastError());
        return false;
    }
    return own;
}

// Puts the request's fields behind the queue; false when they do not fit.
bool stage(const ForwardRequest& request) {
    // Splitting never lengthens a text by more than its last zero unit.
    size_t most = 2 + request.directoryLength + 1 + request.argumentLength + 1;
    if (most > QUEUE_UNITS - queueUsed) return false;
    wchar_t* entry = queue + queueUsed;
    wchar_t* fields = entry + 2;
    copyTextN(fields, request.directoryLength + 1, request.directory, request.directoryLength);
    size_t length = request.directoryLength + 1 +
                    splitArguments(request.arguments, request.argumentLength, fields + request.directoryLength + 1);
    entry[0] = static_cast<wchar_t>(length & 0xFFFF);
    entry[1] = static_cast<wchar_t>(length >> 16);
    stagedUnits = 2 + length;
    return true;
}

void logStart(const wchar_t* outcome) { logLine("Forwarded start:\t%s\n", outcome); }

// Prepares the reply to the request just read; false when the client gets none.
bool answer(DWORD size) {
    if (!clientIsOwn()) {
        logStart(L"refused: foreign client");
        return false;
    }
    ForwardRequest request;
    reply = ForwardReply{FORWARD_REPLY_MAGIC, FORWARD_MALFORMED, child.dwProcessId};
    if (!checkForwardRequest(requestBytes, size, &request)) {
        logStart(L"refused: malformed");
    } else if (!stage(request)) {
        reply.status = FORWARD_QUEUE_FULL;
        logStart(L"refused: queue full");
    } else {
        reply.status = FORWARD_ACCEPTED;
    }
    return true;
}

void pumpChildInput();

// Handles the end of the operation of `step` and chooses the next step.
void finishStep(bool done, DWORD error, DWORD bytes) {
    EndpointStep next = LISTENING;
    if (step == LISTENING) {
        if (!done && error != ERROR_PIPE_CONNECTED && error != ERROR_NO_DATA) {
            return closeEndpoint(L"cannot listen", error);
        }
        deadline = GetTickCount64() + CONNECTION_MS;
        if (error != ERROR_NO_DATA) next = READING;
    } else if (step == READING) {
        // A client that keeps sending past its time is dropped.
        if (done && GetTickCount64() < deadline && answer(bytes)) next = REPLYING;
        if (error == ERROR_MORE_DATA) logStart(L"refused: too long");
    } else {
        if (done && reply.status == FORWARD_ACCEPTED) {
            queueUsed += stagedUnits;
            logStart(L"queued");
            pumpChildInput();
        }
        stagedUnits = 0;
        // The client reads the reply and leaves, which ends the next read.
        if (done) next = READING;
    }
    if (endpoint == nullptr) return;
    // Also after a client that connected and left before it was listened for.
    if (next == LISTENING) DisconnectNamedPipe(endpoint);
    step = next;
}

// Starts the operation of `step`; false, with *error, when it failed at once.
bool startStep(DWORD* error) {
    BOOL started = FALSE;
    if (step == LISTENING) started = ConnectNamedPipe(endpoint, &endpointIo);
    else if (step == READING) started = ReadFile(endpoint, requestBytes, sizeof requestBytes, nullptr, &endpointIo);
    else started = WriteFile(endpoint, &reply, sizeof reply, nullptr, &endpointIo);
    *error = started ? 0 : GetLastError();
    return started || *error == ERROR_IO_PENDING;
}

// Moves the conversation on as far as it can go without waiting.
void advanceEndpoint() {
    while (endpoint != nullptr) {
        DWORD error = 0;
        if (!endpointBusy) {
            endpointBusy = startStep(&error);
            if (!endpointBusy) finishStep(false, error, 0);
            continue;
        }
        if (!HasOverlappedIoCompleted(&endpointIo)) {
            if (step == LISTENING || GetTickCount64() < deadline) return;
            // A client that holds the line without finishing.
            CancelIoEx(endpoint, &endpointIo);
        }
        DWORD bytes = 0;
        bool done = GetOverlappedResult(endpoint, &endpointIo, &bytes, TRUE) != FALSE;
        error = done ? 0 : GetLastError();
        endpointBusy = false;
        finishStep(done, error, bytes);
    }
}

void closeChildInput() {
    if (inputPipe == nullptr) return;
    cancelIo(inputPipe, inputIo, inputBusy);
    CloseHandle(inputPipe);
    inputPipe = nullptr;
    if (inputReadBack != nullptr) CloseHandle(inputReadBack);
    inputReadBack = nullptr;
    sentBytes = 0;
}

// A write the pipe refused: what it held is lost, and the next child's input
// begins with the entry being written, whole.
void dropClosedInput() {
    logLine("Forwarding:\tinput closed\n");
    carryUsed = carrySent = 0;
    linePosition = 0;
    closeChildInput();
}

void removeFirstEntry() {
    size_t units = 2 + entryLength(queue);
    queueUsed -= units;
    // The staged entry moves along.
    for (size_t i = 0; i < queueUsed + stagedUnits; ++i) queue[i] = queue[i + units];
}

void copyBytes(char* to, const char* from, size_t count) {
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
}

// The chunk in flight has gone into the pipe whole.
void chunkWritten() {
    if (chunkFromCarry) {
        carrySent += chunkLength;
        if (carrySent == carryUsed) carrySent = carryUsed = 0;
        return;
    }
    linePosition = chunkEnd;
    if (linePosition == entryLength(queue)) {
        removeFirstEntry();
        linePosition = 0;
    }
}

// Writes what waits for the child's input, the lines read back from an ended
// child first, then the queue, one chunk at a time, as long as writes finish
// at once; a write the application does not read stays in flight and is
// picked up by the next service.
void pumpChildInput() {
    while (inputPipe != nullptr) {
        if (inputBusy) {
            if (!HasOverlappedIoCompleted(&inputIo)) return;
            DWORD written = 0;
            inputBusy = false;
            if (!GetOverlappedResult(inputPipe, &inputIo, &written, FALSE)) return dropClosedInput();
            chunkWritten();
        }
        chunkFromCarry = carrySent < carryUsed;
        if (chunkFromCarry) {
            chunkLength = carryUsed - carrySent < sizeof chunk ? carryUsed - carrySent : sizeof chunk;
            copyBytes(chunk, carry + carrySent, chunkLength);
        } else {
            if (queueUsed == 0) return;
            chunkEnd = linePosition;
            chunkLength = encodeForwardLine(queue + 2, entryLength(queue), &chunkEnd, chunk, sizeof chunk);
        }
        if (!WriteFile(inputPipe, chunk, static_cast<DWORD>(chunkLength), nullptr, &inputIo) &&
            GetLastError() != ERROR_IO_PENDING) {
            return dropClosedInput();
        }
        // From here on the chunk's bytes are in the pipe, readable by the child
        // (or read back), even while the write is in flight.
        for (size_t i = 0; i < chunkLength; ++i) sentTail[(sentBytes + i) % SENT_TAIL_BYTES] = chunk[i];
        sentBytes += chunkLength;
        inputBusy = true;
    }
}

// The child has ended: the bytes it left unread in its pipe are read back
// (which also completes a write in flight: its bytes are among them) and go,
// before whatever had not been written yet, to the next child. A line the
// child read in part is dropped whole: the child had some of it, and the rest
// alone means nothing. So every child's input begins with a whole line.
void keepUnreadInput() {
    if (inputReadBack == nullptr) return;
    // The child has ended, so its end may stop waiting for data: a read of an
    // empty pipe then fails at once.
    size_t count = 0;
    DWORD got = 0;
    DWORD noWait = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    if (SetNamedPipeHandleState(inputReadBack, &noWait, nullptr, nullptr)) {
        while (count < CARRY_BYTES &&
               ReadFile(inputReadBack, drained + count, static_cast<DWORD>(CARRY_BYTES - count), &got, nullptr) &&
               got > 0) {
            count += got;
        }
    }
    if (inputBusy && HasOverlappedIoCompleted(&inputIo)) {
        DWORD written = 0;
        inputBusy = false;
        if (GetOverlappedResult(inputPipe, &inputIo, &written, FALSE)) chunkWritten();
    }
    size_t rest = carryUsed - carrySent;
    if (inputBusy || count + rest > CARRY_BYTES) {
        // A write that reading back did not complete, or more than the carry
        // holds: what was not read is lost, as when the launcher ends, and the
        // entry being written goes again whole.
        logLine("Forwarding:\tunread input lost (%zd bytes)\n", static_cast<long long>(count + rest));
        carryUsed = carrySent = 0;
        linePosition = 0;
        return;
    }
    // The carry becomes what was read back, then what of it had not been
    // written yet.
    for (size_t i = rest; i > 0; --i) carry[count + i - 1] = carry[carrySent + i - 1];
    copyBytes(carry, drained, count);
    carryUsed = count + rest;
    carrySent = 0;
    unsigned long long consumed = sentBytes - count;
    if (count == 0 || consumed == 0 || sentTail[(consumed - 1) % SENT_TAIL_BYTES] == '\n') return;
    logLine("Forwarding:\ta line read in part dropped\n");
    size_t lineEnd = 0;
    while (lineEnd < carryUsed && carry[lineEnd] != '\n') ++lineEnd;
    if (lineEnd < carryUsed) {
        copyBytes(carry, carry + lineEnd + 1, carryUsed - lineEnd - 1);
        carryUsed -= lineEnd + 1;
        return;
    }
    // The line goes on in the entry being written.
    carryUsed = 0;
    if (linePosition > 0) {
        removeFirstEntry();
        linePosition = 0;
    }
}

HANDLE newEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

} // namespace

bool forwardsStarts() { return !CONSOLE_LAUNCHER && loadConfigBool<CFG_FORWARD_ARGUMENTS>(); }

void openForwardEndpoint() {
    wchar_t name[257];
    if (!readOwnIdentity()) return logOff(L"no user identity", GetLastError());
    if (!ownEndpointName(name)) return logOff(L"CFG_MUTEX too long", ERROR_FILENAME_EXCED_RANGE);
    endpointIo.hEvent = newEvent();
    inputIo.hEvent = newEvent();
    if (endpointIo.hEvent == nullptr || inputIo.hEvent == nullptr) return logOff(L"no event", GetLastError());
    // The first instance of the name, or none: a pipe of that name made by
    // someone else before would otherwise receive the starts.
    endpoint = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                sizeof(ForwardReply), FORWARD_REQUEST_MAX_BYTES, 0, ownerOnlyAccess());
    if (endpoint == INVALID_HANDLE_VALUE) {
        endpoint = nullptr;
        return logOff(L"its name is taken", GetLastError());
    }
    logLine("Forwarding:\t%s\n", name);
    advanceEndpoint();
}

HANDLE openChildInput() {
    if (endpoint == nullptr) return nullptr;
    wchar_t name[PATH_CAPACITY];
    TextBuffer b = emptyTextBuffer(name, PATH_CAPACITY);
    appendText(b, "\\\\.\\pipe\\qdlauncher-input-");
    appendDecimal(b, GetCurrentProcessId());
    appendChar(b, L'-');
    appendDecimal(b, ++inputPipes);
    inputPipe = CreateNamedPipeW(name, PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_BYTE | PIPE_REJECT_REMOTE_CLIENTS, 1, sizeof chunk, 0, 0,
                                 ownerOnlyAccess());
    HANDLE childEnd = INVALID_HANDLE_VALUE;
    if (inputPipe == INVALID_HANDLE_VALUE) {
        inputPipe = nullptr;
    } else {
        // Opened at once by the launcher itself: the pipe takes one client, so
        // no one else can read the application's input.
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        childEnd = CreateFileW(name, GENERIC_READ, 0, &inheritable, OPEN_EXISTING, 0, nullptr);
    }
    if (childEnd == INVALID_HANDLE_VALUE) {
        closeEndpoint(L"no input pipe", GetLastError());
        closeChildInput();
        return nullptr;
    }
    inputReadBack = childEnd;
    pumpChildInput();
    return childEnd;
}

void endChildInput() {
    keepUnreadInput();
    closeChildInput();
}

DWORD forwardingWaitHandles(HANDLE* handles) {
    DWORD count = 0;
    if (endpointBusy) handles[count++] = endpointIo.hEvent;
    if (inputBusy) handles[count++] = inputIo.hEvent;
    return count;
}

DWORD forwardingTimeout() {
    if (!endpointBusy || step == LISTENING) return INFINITE;
    ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

void serviceForwarding() {
    advanceEndpoint();
    pumpChildInput();
}
