// The options file: opened read-only while nobody writes to it, read once,
// filtered into one line of options and closed before the child exists.
#include "config/options_file.h"

#include "core/launch_state.h"

namespace {

const unsigned char END_OF_TEXT = 0x1A; // Ctrl-Z: the data ends here
const unsigned char COMMENT_SIGN = '#';

// One read, never more than the limit: the buffer has room for all of it.
unsigned char readBuffer[OPTIONS_READ_LIMIT];

void appendBlankUnlessThere(TextBuffer& text) {
    if (text.length > 0 && !textEndsWith(text, L' ')) appendChar(text, L' ');
}

} // namespace

bool optionsFilePathFor(const wchar_t* exePath, wchar_t* path) {
    TextBuffer name = emptyTextBuffer(path, PATH_CAPACITY);
    size_t length = textLengthBounded(exePath, PATH_CAPACITY);
    // The last three characters are dropped whatever they are ("exe" as a rule).
    if (length < 3) return false;
    appendTextN(name, exePath, length - 3);
    appendText(name, "qd.ini");
    if (!name.overflowed) return true;
    clearText(path, PATH_CAPACITY);
    return false;
}

size_t optionsReadLimit(size_t optionsLength) {
    // JVM options that already fill the room leave none for the file.
    return optionsLength < OPTIONS_READ_LIMIT ? OPTIONS_READ_LIMIT - optionsLength : 0;
}

void appendOptionsText(TextBuffer& jvmOptionsText, const unsigned char* bytes, size_t count) {
    if (count == 0) return;
    bool copying = true;
    for (size_t i = 0; i < count; ++i) {
        unsigned char byte = bytes[i];
        // A zero byte (the second half of every ASCII unit of a UTF-16 file)
        // ends the text just like Ctrl-Z; what came before still gets its
        // closing blank, so it stays apart from the classpath that follows.
        if (byte == END_OF_TEXT || byte == 0) break;
        if (byte == COMMENT_SIGN) {
            copying = false;
        } else if (byte == '\r' || byte == '\n') {
            // A carriage return and line feed pair gives one blank as well:
            // the second break finds the blank of the first.
            copying = true;
            appendBlankUnlessThere(jvmOptionsText);
        } else if (copying) {
            appendChar(jvmOptionsText, static_cast<wchar_t>(byte)); // ISO 8859-1: byte value = code unit
        }
    }
    appendBlankUnlessThere(jvmOptionsText);
}

void appendOptionsFromFile(HANDLE file, TextBuffer& jvmOptionsText) {
    DWORD limit = static_cast<DWORD>(optionsReadLimit(jvmOptionsText.length));
    if (limit == 0) return;
    DWORD count = 0;
    // A failed read counts as an empty file: the launch goes on with the
    // configured options alone, as it does when the file is missing.
    if (!ReadFile(file, readBuffer, limit, &count, nullptr)) return;
    appendOptionsText(jvmOptionsText, readBuffer, count);
}

void readOptionsFile(const wchar_t* exePath, TextBuffer& jvmOptionsText) {
    wchar_t path[PATH_CAPACITY];
    if (!optionsFilePathFor(exePath, path)) return;
    // Not inheritable, and shared for reading only: while another program
    // writes the file the open fails and the file is skipped. A missing file
    // is no error.
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    appendOptionsFromFile(file, jvmOptionsText);
    CloseHandle(file);
}
