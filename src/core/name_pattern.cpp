#include "core/name_pattern.h"

#include <windows.h>

namespace {

const size_t PATTERN_MAX = 259;

bool sameLetter(wchar_t a, wchar_t b) {
    if (a == b) return true;
    if (a < 0x80 && b < 0x80) {
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a + 0x20);
        if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b + 0x20);
        return a == b;
    }
    // Outside ASCII the system's own case table decides, as for file names.
    return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

bool isWildcard(wchar_t c) { return c == L'*' || c == L'?'; }

// A dot followed only by wildcards, or wildcards alone, may stand for the end
// of the name.
bool restMatchesEnd(const wchar_t* pattern, size_t from, size_t length) {
    size_t i = from;
    if (i < length && pattern[i] == L'.') ++i;
    for (; i < length; ++i) {
        if (!isWildcard(pattern[i])) return false;
    }
    return true;
}

// Adds `position` and everything reachable from it without reading a
// character: past a `*` or a `?` that match nothing.
void reach(bool* states, const wchar_t* pattern, size_t length, size_t position) {
    while (position <= length && !states[position]) {
        states[position] = true;
        if (position == length || !isWildcard(pattern[position])) return;
        ++position;
    }
}

} // namespace

bool longNameMatches(const wchar_t* name, const wchar_t* pattern, size_t patternLength) {
    if (patternLength > PATTERN_MAX) return false;
    // The pattern as a small automaton: states[i] means the name read so far
    // can be matched by the first i pattern characters.
    bool current[PATTERN_MAX + 1];
    bool next[PATTERN_MAX + 1];
    for (size_t i = 0; i <= patternLength; ++i) current[i] = false;
    reach(current, pattern, patternLength, 0);

    for (const wchar_t* c = name; *c != 0; ++c) {
        bool any = false;
        for (size_t i = 0; i <= patternLength; ++i) next[i] = false;
        for (size_t i = 0; i < patternLength; ++i) {
            if (!current[i]) continue;
            if (pattern[i] == L'*') {
                reach(next, pattern, patternLength, i);
                any = true;
            } else if (pattern[i] == L'?' || sameLetter(pattern[i], *c)) {
                reach(next, pattern, patternLength, i + 1);
                any = true;
            }
        }
        if (!any) return false;
        for (size_t i = 0; i <= patternLength; ++i) current[i] = next[i];
    }
    for (size_t i = 0; i <= patternLength; ++i) {
        if (current[i] && restMatchesEnd(pattern, i, patternLength)) return true;
    }
    return false;
}
