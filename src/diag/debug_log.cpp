#include "diag/debug_log.h"

#include <windows.h>

#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"

namespace {

// Room for the longest line: a 32767-character text in which every character
// is a line feed, plus the format around it.
const size_t LOG_LINE_BYTES = 2 * LONG_TEXT_CAPACITY + 2 * 1024;
char lineBytes[LOG_LINE_BYTES];

struct ByteSink {
    char* out;
    size_t capacity;
    size_t length;
};

void putUnit(ByteSink& sink, wchar_t unit) {
    if (unit == L'\n') {
        if (sink.length + 2 > sink.capacity) return;
        sink.out[sink.length++] = '\r';
        sink.out[sink.length++] = '\n';
        return;
    }
    if (sink.length + 1 > sink.capacity) return;
    sink.out[sink.length++] = unit <= 0xFF ? static_cast<char>(unit) : '?';
}

void putText(ByteSink& sink, const wchar_t* text) {
    if (text == nullptr) return;
    for (; *text != 0; ++text) putUnit(sink, *text);
}

void putNumber(ByteSink& sink, long long value) {
    wchar_t digits[24];
    TextBuffer b = emptyTextBuffer(digits, 24);
    appendDecimal(b, value);
    putText(sink, digits);
}

} // namespace

size_t formatLogBytes(char* out, size_t capacity, const char* format, va_list args) {
    ByteSink sink = {out, capacity, 0};
    for (const char* f = format; *f != 0; ++f) {
        if (*f != '%') {
            putUnit(sink, static_cast<unsigned char>(*f));
            continue;
        }
        if (f[1] == 's') {
            putText(sink, va_arg(args, const wchar_t*));
            ++f;
        } else if (f[1] == 'd') {
            putNumber(sink, va_arg(args, int));
            ++f;
        } else if (f[1] == 'z' && f[2] == 'd') {
            putNumber(sink, va_arg(args, long long));
            f += 2;
        } else if (f[1] == '%') {
            putUnit(sink, L'%');
            ++f;
        } else {
            putUnit(sink, L'%');
        }
    }
    return sink.length;
}

bool openDebugLog(const wchar_t* argumentText) {
    if (!launcherSwitches.debug) return true;

    wchar_t path[PATH_CAPACITY];
    TextBuffer b = emptyTextBuffer(path, PATH_CAPACITY);
    appendTextN(b, exePath, exeDirLen);
    appendText(b, "\\qd-launch.log");
    if (b.overflowed) {
        explainFailure("The debug log cannot be written: its path would be longer than 259 characters.");
        return false;
    }

    // Not inheritable: a child (and every process a Java application starts,
    // always with inheritance on) would otherwise hold the log open, and so
    // locked to everyone else, for as long as it runs.
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        noteFailedCall();
        return false;
    }
    logFile = file;
    logLine("\n\nCmdLine:\t%s %s\n", exePath, argumentText);
    return true;
}

void logLine(const char* format, ...) {
    if (logFile == nullptr) return;
    va_list args;
    va_start(args, format);
    size_t length = formatLogBytes(lineBytes, LOG_LINE_BYTES, format, args);
    va_end(args);
    DWORD written = 0;
    WriteFile(logFile, lineBytes, static_cast<DWORD>(length), &written, nullptr);
}

void closeDebugLog() {
    if (logFile == nullptr) return;
    CloseHandle(logFile);
    logFile = nullptr;
}
