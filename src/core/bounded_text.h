// Bounded UTF-16 text helpers. Every text lives in a fixed-capacity buffer whose
// capacity counts the terminating zero; nothing here ever writes past it.
#pragma once

#include <stddef.h>

// A cursor over one fixed buffer: appends go to the end index, so building a
// 32768-unit command line does not re-measure it on every piece. `overflowed`
// stays set once any append did not fit; the text is then cut cleanly (never in
// the middle of a surrogate pair) and still terminated.
struct TextBuffer {
    wchar_t* chars;
    size_t capacity;
    size_t length;
    bool overflowed;
};

// Adopts the text already in `storage` (measured once).
TextBuffer textBufferOver(wchar_t* storage, size_t capacity);
// Starts an empty text in `storage` (only its first unit is written).
TextBuffer emptyTextBuffer(wchar_t* storage, size_t capacity);

bool appendText(TextBuffer& buffer, const wchar_t* text);
// The same for a text of Latin-1 bytes, each the character of the same code:
// the launcher's own sentences are kept as bytes, which halves the room they
// take in the executable.
bool appendText(TextBuffer& buffer, const char* ascii);
bool appendTextN(TextBuffer& buffer, const wchar_t* text, size_t count);
bool appendChar(TextBuffer& buffer, wchar_t c);
bool appendDecimal(TextBuffer& buffer, long long value);
// Drops characters from the end down to `length` (no-op when already shorter).
void truncateText(TextBuffer& buffer, size_t length);
bool textEndsWith(const TextBuffer& buffer, wchar_t c);

// The first half of a surrogate pair: a cut must not fall right after it.
bool isHighSurrogate(wchar_t c);

// Plain-buffer forms for the places that handle one text once.
size_t textLength(const wchar_t* text);
size_t textLengthBounded(const wchar_t* text, size_t limit);
bool copyText(wchar_t* destination, size_t capacity, const wchar_t* source);
bool copyTextN(wchar_t* destination, size_t capacity, const wchar_t* source, size_t count);
bool appendTo(wchar_t* destination, size_t capacity, const wchar_t* source);
bool endsWithChar(const wchar_t* text, wchar_t c);
bool textEquals(const wchar_t* a, const wchar_t* b);
bool startsWith(const wchar_t* text, const wchar_t* prefix);
// First occurrence of `needle` in `text` (case-sensitive), or nullptr.
const wchar_t* findText(const wchar_t* text, const wchar_t* needle);
wchar_t* findText(wchar_t* text, const wchar_t* needle);
bool containsText(const wchar_t* text, const wchar_t* needle);
const wchar_t* findLastChar(const wchar_t* text, wchar_t c);
void clearText(wchar_t* buffer, size_t capacity);
