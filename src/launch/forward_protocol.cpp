#include "launch/forward_protocol.h"

#include "core/bounded_text.h"

namespace {

// Characters that stand for themselves in a line: they survive URL decoding,
// and none of them is a TAB, a line break or a "+" (which decoding would turn
// into a blank).
bool standsForItself(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' ||
           c == L'.' || c == L'_' || c == L'~' || c == L':' || c == L'/' || c == L'\\';
}

bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

size_t utf8Bytes(unsigned long code, unsigned char (&bytes)[4]) {
    if (code < 0x80) {
        bytes[0] = static_cast<unsigned char>(code);
        return 1;
    }
    size_t count = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    for (size_t i = count - 1; i > 0; --i) {
        bytes[i] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        code >>= 6;
    }
    static const unsigned char LEAD[] = {0, 0, 0xC0, 0xE0, 0xF0};
    bytes[0] = static_cast<unsigned char>(LEAD[count] | code);
    return count;
}

} // namespace

bool checkForwardRequest(const void* bytes, size_t size, ForwardRequest* request) {
    const ForwardRequestHeader* header = static_cast<const ForwardRequestHeader*>(bytes);
    if (size < sizeof(ForwardRequestHeader) || header->magic != FORWARD_REQUEST_MAGIC) return false;
    size_t directoryLength = header->directoryLength;
    size_t argumentLength = header->argumentLength;
    if (directoryLength == 0 || directoryLength > FORWARD_DIRECTORY_MAX || argumentLength > FORWARD_ARGUMENTS_MAX ||
        size != sizeof(ForwardRequestHeader) + (directoryLength + argumentLength) * sizeof(wchar_t)) {
        return false;
    }
    const wchar_t* directory = reinterpret_cast<const wchar_t*>(header + 1);
    for (size_t i = 0; i < directoryLength + argumentLength; ++i) {
        if (directory[i] == 0) return false;
    }
    *request = ForwardRequest{directory, directoryLength, directory + directoryLength, argumentLength};
    return true;
}

bool composeEndpointName(wchar_t (&name)[257], unsigned long session, const wchar_t* mutexName) {
    TextBuffer b = emptyTextBuffer(name, 257);
    appendText(b, "\\\\.\\pipe\\qdlauncher-forward-");
    appendDecimal(b, session);
    appendChar(b, L'-');
    for (const wchar_t* c = mutexName; *c != 0; ++c) {
        if (*c == L'\\') appendText(b, "%5C");
        else if (*c == L'%') appendText(b, "%25");
        else appendChar(b, *c);
    }
    return !b.overflowed;
}

size_t encodeForwardLine(const wchar_t* fields, size_t length, size_t* position, char* out, size_t capacity) {
    static const char HEX[] = "0123456789ABCDEF";
    size_t written = 0;
    while (*position < length && capacity - written >= FORWARD_LINE_STEP_BYTES) {
        wchar_t c = fields[(*position)++];
        if (c == 0) {
            out[written++] = *position < length ? '\t' : '\n';
            continue;
        }
        if (standsForItself(c)) {
            out[written++] = static_cast<char>(c);
            continue;
        }
        unsigned long code = c;
        if (isHighSurrogate(c) && *position < length && isLowSurrogate(fields[*position])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (fields[(*position)++] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            code = 0xFFFD;
        }
        unsigned char bytes[4];
        size_t count = utf8Bytes(code, bytes);
        for (size_t i = 0; i < count; ++i) {
            out[written++] = '%';
            out[written++] = HEX[bytes[i] >> 4];
            out[written++] = HEX[bytes[i] & 0x0F];
        }
    }
    return written;
}
