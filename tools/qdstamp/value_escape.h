// Escapes inside configuration values.
//
//   \t  TAB      \n  line feed    \r  carriage return
//   \s  space (keeps leading/trailing blanks, which are otherwise trimmed)
//   \\  backslash
//   \uXXXX  one UTF-16 code unit given as four hex digits
//
// Any other backslash sequence is an error, so a Windows path must double
// its backslashes (lib\\app.jar).
#pragma once

#include <string>
#include <string_view>

namespace qdstamp {

// Decodes a value (valid UTF-8, already trimmed).  On error returns false and
// sets *error to a description.
bool unescape_value(std::string_view raw, std::u16string* out, std::string* error);

// Encodes a text so that unescape_value(trimmed line) gives it back exactly.
std::string escape_value(std::u16string_view text);

}  // namespace qdstamp
