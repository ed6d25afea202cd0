// Values in the configuration file.
//
// A value is literal: a backslash is a backslash, so a Windows path or option
// arrives exactly as typed (C:\temp\new stays C:\temp\new).  Blanks around a
// value are trimmed.  The one escape is <U+XXXX> (four to six hex digits):
// one character by its code point, for what cannot stand literally on a line
// (line breaks, TAB and other control characters, blanks at either end,
// invisible characters, a lone surrogate).  "<U+" must always begin such an
// escape; the text "<U+" itself is written <U+003C>U+.
//
// Configurations written for the earlier escaped format (\\ for a backslash,
// \t between items, \n, \s, \uXXXX) are recognised where that reading is
// likely: find_old_escapes names those places so that nothing is silently
// read the other way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records.h"

namespace qdstamp {

// Decodes a value (valid UTF-8, already trimmed).  On error returns false and
// sets *error to a description.
bool unescape_value(std::string_view raw, std::u16string* out, std::string* error);

// A place in a value as typed that reads differently in the earlier escaped
// format.  [at, at + length) are backslashes; writing them as <U+005C>
// keeps the text and silences the diagnostic.
struct OldEscape {
    std::size_t at = 0;
    std::size_t length = 1;
    bool is_error = false;
    std::string message;  // what the place means now and how to write it
};

// `record` is the record the value belongs to, or nullptr for a version key.
std::vector<OldEscape> find_old_escapes(std::string_view raw, const RecordInfo* record);

// Encodes a text so that unescape_value(trimmed value) gives it back exactly
// and find_old_escapes finds nothing in it.  Literal wherever possible.
std::string escape_value(std::u16string_view text, const RecordInfo* record = nullptr);

}  // namespace qdstamp
