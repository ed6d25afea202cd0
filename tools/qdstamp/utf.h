// UTF-8 <-> UTF-16 conversion.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qdstamp {

// Strict decoding: returns nullopt for any ill-formed sequence (overlong
// forms, surrogates encoded in UTF-8, values above U+10FFFF, truncation),
// and stores the byte index of the first bad byte in *bad_at.
std::optional<std::u16string> utf8_to_utf16(std::string_view text, std::size_t* bad_at = nullptr);

// For file names and fixed strings: bad bytes become U+FFFD.
std::u16string utf8_to_utf16_lossy(std::string_view text);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.  Callers that
// must round-trip exactly escape unpaired surrogates before calling this.
std::string utf16_to_utf8(std::u16string_view text);

inline bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace qdstamp
