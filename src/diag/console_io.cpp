#include "diag/console_io.h"

#include "core/bounded_text.h"
#include "core/launch_state.h"

namespace {

// The longest text written: a report (messageText, a line end and helpUrl go
// separately) with each of its line feeds doubled, or the question.
const size_t CONSOLE_TEXT_CAPACITY = 2 * MESSAGE_CAPACITY + 2;
wchar_t consoleText[CONSOLE_TEXT_CAPACITY];
// UTF-8 takes at most three bytes for a UTF-16 unit.
char consoleBytes[3 * CONSOLE_TEXT_CAPACITY];

const size_t ANSWER_CHUNK = 64;

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// Redirected output is read by the tools of the console it was started from
// (cmd, PowerShell), which decode it with the console's output code page.
UINT redirectedCodePage() {
    UINT codePage = GetConsoleOutputCP();
    return codePage != 0 ? codePage : CP_UTF8;
}

void writeToStandardError(const wchar_t* text, bool lineEnd) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    size_t length = withLineEnds(text, consoleText, CONSOLE_TEXT_CAPACITY);
    if (!lineEnd) length -= 2;
    DWORD written = 0;
    if (isConsole(error)) {
        WriteConsoleW(error, consoleText, static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    int bytes = WideCharToMultiByte(redirectedCodePage(), 0, consoleText, static_cast<int>(length), consoleBytes,
                                    static_cast<int>(sizeof consoleBytes), nullptr, nullptr);
    if (bytes > 0) WriteFile(error, consoleBytes, static_cast<DWORD>(bytes), &written, nullptr);
}

// Reads one line from the console and keeps its start in `answer`. The rest
// of a long line is read too, so nothing typed here reaches the application.
void readConsoleLine(HANDLE input, wchar_t (&answer)[ANSWER_CHUNK]) {
    clearText(answer, ANSWER_CHUNK);
    DWORD mode = 0;
    GetConsoleMode(input, &mode);
    // A line, echoed, with Ctrl+C as a signal: whatever mode the console was left in.
    SetConsoleMode(input, mode | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
    wchar_t chunk[ANSWER_CHUNK];
    bool first = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadConsoleW(input, chunk, ANSWER_CHUNK - 1, &read, nullptr) || read == 0) break;
        chunk[read] = 0;
        if (first) copyText(answer, ANSWER_CHUNK, chunk);
        first = false;
        if (findText(chunk, L"\n") != nullptr) break;
    }
    SetConsoleMode(input, mode);
}

} // namespace

size_t withLineEnds(const wchar_t* text, wchar_t* out, size_t capacity) {
    TextBuffer b = emptyTextBuffer(out, capacity);
    // Room for the closing line end is kept whatever the text's length.
    b.capacity = capacity - 2;
    for (const wchar_t* p = text; *p != 0 && !b.overflowed; ++p) {
        if (*p == L'\n' && (p == text || p[-1] != L'\r')) appendChar(b, L'\r');
        appendChar(b, *p);
    }
    b.capacity = capacity;
    appendText(b, "\r\n");
    return b.length;
}

bool consoleAnswerIsYes(const wchar_t* line) {
    while (*line == L' ' || *line == L'\t') ++line;
    return *line == L'y' || *line == L'Y' || *line == L's' || *line == L'S';
}

void writeErrorLine(const wchar_t* text) { writeToStandardError(text, true); }

int askOnConsole(const wchar_t* text, const wchar_t* title, UINT) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!isConsole(input) || !isConsole(GetStdHandle(STD_ERROR_HANDLE))) {
        wchar_t line[MESSAGE_CAPACITY];
        TextBuffer b = emptyTextBuffer(line, MESSAGE_CAPACITY);
        appendText(b, title);
        appendText(b, ": little free memory; not asked, as there is no console to answer on: "
                      "the launch goes on.");
        writeErrorLine(line);
        return IDYES;
    }
    writeErrorLine(text);
    writeToStandardError(L"[y/N] ", false);
    wchar_t answer[ANSWER_CHUNK];
    readConsoleLine(input, answer);
    return consoleAnswerIsYes(answer) ? IDYES : IDNO;
}
