#include "core/bounded_text.h"

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

size_t textLength(const wchar_t* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

size_t textLengthBounded(const wchar_t* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != 0) ++n;
    return n;
}

TextBuffer textBufferOver(wchar_t* storage, size_t capacity) {
    TextBuffer b = {storage, capacity, 0, false};
    if (capacity == 0) return b;
    b.length = textLengthBounded(storage, capacity - 1);
    storage[b.length] = 0;
    return b;
}

TextBuffer emptyTextBuffer(wchar_t* storage, size_t capacity) {
    if (capacity > 0) storage[0] = 0;
    TextBuffer b = {storage, capacity, 0, false};
    return b;
}

bool appendTextN(TextBuffer& b, const wchar_t* text, size_t count) {
    if (b.capacity == 0) {
        b.overflowed = b.overflowed || count > 0;
        return count == 0;
    }
    size_t room = b.capacity - 1 - b.length;
    size_t take = count;
    bool fits = count <= room;
    if (!fits) {
        take = room;
        // Never leave half of a surrogate pair at the cut.
        if (take > 0 && isHighSurrogate(text[take - 1])) --take;
        b.overflowed = true;
    }
    for (size_t i = 0; i < take; ++i) b.chars[b.length + i] = text[i];
    b.length += take;
    b.chars[b.length] = 0;
    return fits;
}

bool appendText(TextBuffer& b, const wchar_t* text) {
    return appendTextN(b, text, textLength(text));
}

bool appendChar(TextBuffer& b, wchar_t c) { return appendTextN(b, &c, 1); }

bool appendText(TextBuffer& b, const char* ascii) {
    bool fits = true;
    for (; *ascii != 0; ++ascii) fits = appendChar(b, static_cast<unsigned char>(*ascii)) && fits;
    return fits;
}

bool appendDecimal(TextBuffer& b, long long value) {
    wchar_t digits[24];
    size_t n = 0;
    // Work on the magnitude as unsigned so the most negative value is printable.
    unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    wchar_t text[24];
    size_t len = 0;
    if (value < 0) text[len++] = L'-';
    while (n > 0) text[len++] = digits[--n];
    return appendTextN(b, text, len);
}

void truncateText(TextBuffer& b, size_t length) {
    if (length < b.length) {
        b.length = length;
        b.chars[length] = 0;
    }
}

bool textEndsWith(const TextBuffer& b, wchar_t c) { return b.length > 0 && b.chars[b.length - 1] == c; }

bool copyText(wchar_t* destination, size_t capacity, const wchar_t* source) {
    TextBuffer b = emptyTextBuffer(destination, capacity);
    return appendText(b, source);
}

bool copyTextN(wchar_t* destination, size_t capacity, const wchar_t* source, size_t count) {
    TextBuffer b = emptyTextBuffer(destination, capacity);
    return appendTextN(b, source, count);
}

bool appendTo(wchar_t* destination, size_t capacity, const wchar_t* source) {
    TextBuffer b = textBufferOver(destination, capacity);
    return appendText(b, source);
}

bool endsWithChar(const wchar_t* text, wchar_t c) {
    size_t n = textLength(text);
    return n > 0 && text[n - 1] == c;
}

bool textEquals(const wchar_t* a, const wchar_t* b) {
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

bool startsWith(const wchar_t* text, const wchar_t* prefix) {
    while (*prefix != 0) {
        if (*text != *prefix) return false;
        ++text;
        ++prefix;
    }
    return true;
}

const wchar_t* findText(const wchar_t* text, const wchar_t* needle) {
    if (*needle == 0) return text;
    for (; *text != 0; ++text) {
        if (*text == *needle && startsWith(text, needle)) return text;
    }
    return nullptr;
}

wchar_t* findText(wchar_t* text, const wchar_t* needle) {
    return const_cast<wchar_t*>(findText(static_cast<const wchar_t*>(text), needle));
}

bool containsText(const wchar_t* text, const wchar_t* needle) { return findText(text, needle) != nullptr; }

const wchar_t* findLastChar(const wchar_t* text, wchar_t c) {
    const wchar_t* last = nullptr;
    for (; *text != 0; ++text) {
        if (*text == c) last = text;
    }
    return last;
}

void clearText(wchar_t* buffer, size_t capacity) {
    for (size_t i = 0; i < capacity; ++i) buffer[i] = 0;
}
