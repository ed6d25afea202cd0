// The starter configuration that "qdstamp init" writes: every key with its
// meaning, the few a launch needs active, and placeholders for what only the
// vendor knows.
#pragma once

#include <string>
#include <string_view>

namespace qdstamp {

// A value holding this text is a placeholder the vendor has not filled in yet.
constexpr std::u16string_view kPlaceholderMark = u"<fill in:";

inline bool is_placeholder(std::u16string_view value) { return value.find(kPlaceholderMark) != std::u16string_view::npos; }

// The configuration file's text (UTF-8, LF line ends).
const std::string& starter_config();

}  // namespace qdstamp
