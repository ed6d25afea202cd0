#include "runtime/word_list.h"

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
wchar_t lowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

} // namespace

bool sameWord(const wchar_t* text, size_t length, const wchar_t* lowerCaseWord) {
    size_t i = 0;
    for (; i < length; ++i) {
        if (lowerCaseWord[i] == 0 || lowerAscii(text[i]) != lowerCaseWord[i]) return false;
    }
    return lowerCaseWord[i] == 0;
}

WordListItem nextWordListItem(const wchar_t** cursor, const wchar_t* const* words, size_t count) {
    const wchar_t* start = *cursor;
    const wchar_t* end = start;
    while (*end != 0 && *end != L';') ++end;
    *cursor = *end == 0 ? nullptr : end + 1;
    WordListItem item = {start, static_cast<size_t>(end - start), 0};
    while (item.length > 0 && isBlank(*item.word)) {
        ++item.word;
        --item.length;
    }
    while (item.length > 0 && isBlank(item.word[item.length - 1])) --item.length;
    while (item.index < count && !sameWord(item.word, item.length, words[item.index])) ++item.index;
    return item;
}
