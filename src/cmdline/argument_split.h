// How a command line falls apart into the arguments a program receives.
#pragma once

#include <stddef.h>

// Splits `text` (`length` units, no terminator needed) into arguments by the
// rules of the C runtime of today's Windows programs, which the Java runtime's
// launcher follows for main(String[]):
//
//   - arguments are separated by blanks and tabs outside double quotes;
//   - a double quote switches "inside quotes" on and off and is dropped; inside
//     quotes, two double quotes in a row give one literal quote;
//   - 2n backslashes before a double quote give n backslashes (the quote then
//     switches), 2n+1 give n backslashes and a literal quote; backslashes
//     anywhere else are kept as they are;
//   - an unclosed quote runs to the end of the text.
//
// Writes each argument followed by one zero unit to `out`, which must have room
// for `length` + 1 units: no split needs more (every argument but the first
// takes at least one separating blank). Returns the number of units written;
// 0 when the text holds no argument.
size_t splitArguments(const wchar_t* text, size_t length, wchar_t* out);
