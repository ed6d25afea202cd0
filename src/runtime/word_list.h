// The ";"-separated word lists of the runtime records (CFG_RUNTIME_SOURCES,
// CFG_RUNTIME_MACHINES): words in any case, blanks around each allowed. Pure.
#pragma once

#include <stddef.h>

// Whether the `length` characters at `text` are `lowerCaseWord`, in any case
// (ASCII letters only).
bool sameWord(const wchar_t* text, size_t length, const wchar_t* lowerCaseWord);

// One item of a list: the word without the blanks around it, and its index in
// `words` (lower case; the item may be in any case), or `count` when it is
// none of them.
struct WordListItem {
    const wchar_t* word;
    size_t length;
    size_t index;
};
// Reads the item at *cursor and moves *cursor to the next one, or to nullptr
// after the last. An empty text is one empty item.
WordListItem nextWordListItem(const wchar_t** cursor, const wchar_t* const* words, size_t count);
