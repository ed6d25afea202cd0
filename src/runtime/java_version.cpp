#include "runtime/java_version.h"

namespace {

// Numbers as written, before "1.x" is folded: one more than a version keeps.
const size_t RAW_PARTS = JAVA_VERSION_PARTS + 1;
const unsigned PART_MAX = 999999999u;
const size_t NO_UNDERSCORE = static_cast<size_t>(-1);

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool isLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
wchar_t lowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

struct Numbers {
    unsigned raw[RAW_PARTS];
    size_t count;      // numbers kept in raw
    size_t underscore; // how many numbers came before the first "_", or NO_UNDERSCORE
};

// Reads numbers separated by "." or "_" from a digit at `p`; a separator not
// followed by a digit is not read. Returns the position after the last digit.
const wchar_t* readNumbers(const wchar_t* p, Numbers* numbers) {
    numbers->count = 0;
    numbers->underscore = NO_UNDERSCORE;
    size_t seen = 0;
    for (;;) {
        unsigned value = 0;
        for (; isDigit(*p); ++p) {
            unsigned digit = static_cast<unsigned>(*p - L'0');
            value = value > (PART_MAX - digit) / 10 ? PART_MAX : value * 10 + digit;
        }
        if (numbers->count < RAW_PARTS) numbers->raw[numbers->count++] = value;
        ++seen;
        if ((*p != L'.' && *p != L'_') || !isDigit(p[1])) return p;
        if (*p == L'_' && numbers->underscore == NO_UNDERSCORE) numbers->underscore = seen;
        ++p;
    }
}

// "1.8.0_202" becomes 8.0.202: the leading 1 of a 1.x version is dropped, and
// an update after "_" always lands in the third place (1.8_101 is 8.0.101).
void foldNumbers(const Numbers& numbers, JavaVersion* version) {
    for (size_t i = 0; i < JAVA_VERSION_PARTS; ++i) version->parts[i] = 0;
    size_t dotted = numbers.underscore == NO_UNDERSCORE ? numbers.count : numbers.underscore;
    if (dotted > numbers.count) dotted = numbers.count;
    size_t from = numbers.raw[0] == 1 && dotted >= 2 ? 1 : 0;
    size_t out = 0;
    for (size_t i = from; i < dotted && out < JAVA_VERSION_PARTS; ++i) version->parts[out++] = numbers.raw[i];
    if (numbers.underscore != NO_UNDERSCORE) {
        while (out < 2) version->parts[out++] = 0;
        for (size_t i = dotted; i < numbers.count && out < JAVA_VERSION_PARTS; ++i) {
            version->parts[out++] = numbers.raw[i];
        }
    }
    version->count = out;
    version->earlyAccess = false;
}

bool isTailChar(wchar_t c) {
    return isDigit(c) || isLetter(c) || c == L'.' || c == L'_' || c == L'-' || c == L'+';
}

bool wordIs(const wchar_t* word, const wchar_t* lowerCase) {
    for (; *lowerCase != 0; ++word, ++lowerCase) {
        if (lowerAscii(*word) != *lowerCase) return false;
    }
    return !isDigit(*word) && !isLetter(*word);
}

// A "-" tail names a pre-release ("-ea", "-beta", "-internal"), except the
// long-term-support mark vendors put there and an old "-b08" build number.
bool tailMarksEarlyAccess(const wchar_t* tail) {
    if (tail[0] != L'-') return false;
    const wchar_t* word = tail + 1;
    if (wordIs(word, L"lts")) return false;
    if (lowerAscii(word[0]) == L'b' && isDigit(word[1])) {
        const wchar_t* p = word + 1;
        while (isDigit(*p)) ++p;
        if (!isLetter(*p)) return false;
    }
    return true;
}

} // namespace

bool parseJavaVersion(const wchar_t* text, JavaVersion* version) {
    if (!isDigit(text[0])) return false;
    Numbers numbers;
    const wchar_t* tail = readNumbers(text, &numbers);
    if (*tail != 0) {
        if ((*tail != L'-' && *tail != L'+') || tail[1] == 0) return false;
        for (const wchar_t* p = tail + 1; *p != 0; ++p) {
            if (!isTailChar(*p)) return false;
        }
    }
    foldNumbers(numbers, version);
    version->earlyAccess = tailMarksEarlyAccess(tail);
    return true;
}

bool parseVersionInName(const wchar_t* name, JavaVersion* version) {
    while (*name != 0 && !isDigit(*name)) ++name;
    if (*name == 0) return false;
    Numbers numbers;
    readNumbers(name, &numbers);
    foldNumbers(numbers, version);
    return true;
}

int compareJavaVersions(const JavaVersion& a, const JavaVersion& b) {
    for (size_t i = 0; i < JAVA_VERSION_PARTS; ++i) {
        if (a.parts[i] != b.parts[i]) return a.parts[i] < b.parts[i] ? -1 : 1;
    }
    if (a.earlyAccess != b.earlyAccess) return a.earlyAccess ? -1 : 1;
    return 0;
}

bool meetsLowerBound(const JavaVersion& version, const JavaVersion& lower) {
    return compareJavaVersions(version, lower) >= 0;
}

bool meetsUpperBound(const JavaVersion& version, const JavaVersion& upper) {
    for (size_t i = 0; i < upper.count; ++i) {
        if (version.parts[i] != upper.parts[i]) return version.parts[i] < upper.parts[i];
    }
    // The bound's own numbers: its release covers its early-access builds,
    // but an early-access bound does not cover the release.
    return !upper.earlyAccess || version.earlyAccess;
}

bool findReleaseJavaVersion(const char* bytes, size_t length, wchar_t* version, size_t capacity) {
    static const char KEY[] = "JAVA_VERSION=";
    const size_t keyLength = sizeof KEY - 1;
    size_t line = 0;
    while (line < length) {
        size_t end = line;
        while (end < length && bytes[end] != '\n') ++end;
        bool match = end - line > keyLength;
        for (size_t i = 0; match && i < keyLength; ++i) match = bytes[line + i] == KEY[i];
        if (match) {
            size_t p = line + keyLength;
            if (bytes[p] == '"') ++p;
            size_t n = 0;
            for (; p < end && bytes[p] != '"' && bytes[p] != '\r'; ++p) {
                unsigned char c = static_cast<unsigned char>(bytes[p]);
                if (c < 0x20 || c > 0x7E || n + 1 >= capacity) return false;
                version[n++] = static_cast<wchar_t>(c);
            }
            if (n == 0 || capacity == 0) return false;
            version[n] = 0;
            return true;
        }
        line = end + 1;
    }
    return false;
}
