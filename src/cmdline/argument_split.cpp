#include "cmdline/argument_split.h"

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

} // namespace

size_t splitArguments(const wchar_t* text, size_t length, wchar_t* out) {
    size_t written = 0;
    size_t i = 0;
    for (;;) {
        while (i < length && isBlank(text[i])) ++i;
        if (i == length) return written;
        bool quoted = false;
        for (;;) {
            size_t backslashes = 0;
            while (i < length && text[i] == L'\\') {
                ++backslashes;
                ++i;
            }
            if (i < length && text[i] == L'"') {
                for (; backslashes >= 2; backslashes -= 2) out[written++] = L'\\';
                if (backslashes == 1 || (quoted && i + 1 < length && text[i + 1] == L'"')) {
                    // An escaped quote, or the first of two inside quotes: one literal quote.
                    out[written++] = L'"';
                    i += backslashes == 1 ? 1 : 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            for (; backslashes > 0; --backslashes) out[written++] = L'\\';
            if (i == length || (!quoted && isBlank(text[i]))) break;
            out[written++] = text[i++];
        }
        out[written++] = 0;
    }
}
