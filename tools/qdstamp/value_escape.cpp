#include "value_escape.h"

#include <cstdio>

#include "utf.h"

namespace qdstamp {
namespace {

constexpr std::string_view kEscapeStart = "<U+";

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string code_point_escape(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "<U+%04X>", static_cast<unsigned>(c));
    return buf;
}

// Characters that cannot stand on a line, or that a reader would not see.
bool needs_escape(char16_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xAD || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF;
}

// A backslash that starts a word: a UNC path (\\server\share) may begin there.
bool starts_word(std::string_view raw, std::size_t at) {
    if (at == 0) return true;
    const char before = raw[at - 1];
    return before == ' ' || before == '\t' || before == '=' || before == '"' || before == '\'' || before == ';' ||
           before == ',';
}

bool is_name_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_name_char(char c) { return is_name_start(c) || (c >= '0' && c <= '9'); }

// "\t" followed by NAME= : two items joined the old way.
bool joins_items(std::string_view raw, std::size_t backslash) {
    std::size_t i = backslash + 2;
    if (i >= raw.size() || !is_name_start(raw[i])) return false;
    while (i < raw.size() && is_name_char(raw[i])) ++i;
    return i < raw.size() && raw[i] == '=';
}

bool four_hex_digits(std::string_view raw, std::size_t at) {
    if (at + 4 > raw.size()) return false;
    for (std::size_t k = 0; k < 4; ++k)
        if (hex_digit(raw[at + k]) < 0) return false;
    return true;
}

// Messages, titles and version strings: texts shown to people, where the
// old \n, \t and \r were line breaks and TABs.
bool is_prose(const RecordInfo* record) { return record == nullptr || has_trait(*record, kShown); }

}  // namespace

bool unescape_value(std::string_view raw, std::u16string* out, std::string* error) {
    out->clear();
    std::size_t plain_from = 0;
    for (std::size_t at = raw.find(kEscapeStart); at != std::string_view::npos; at = raw.find(kEscapeStart, at)) {
        std::size_t i = at + kEscapeStart.size();
        char32_t value = 0;
        std::size_t digits = 0;
        for (; i < raw.size() && hex_digit(raw[i]) >= 0 && digits < 7; ++i, ++digits)
            value = value * 16 + static_cast<char32_t>(hex_digit(raw[i]));
        if (digits < 4 || digits > 6 || i >= raw.size() || raw[i] != '>') {
            *error = "\"<U+\" begins an escape: write <U+XXXX> with four to six hex digits, "
                     "or <U+003C>U+ for the text \"<U+\" itself";
            return false;
        }
        if (value > 0x10FFFF) {
            *error = "<U+" + std::string(raw.substr(at + 3, digits)) + "> is beyond the last Unicode code point U+10FFFF";
            return false;
        }
        *out += utf8_to_utf16_lossy(raw.substr(plain_from, at - plain_from));
        if (value >= 0x10000) {
            value -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(value));  // a lone surrogate stays one unit
        }
        at = plain_from = i + 1;
    }
    *out += utf8_to_utf16_lossy(raw.substr(plain_from));
    return true;
}

std::vector<OldEscape> find_old_escapes(std::string_view raw, const RecordInfo* record) {
    std::vector<OldEscape> found;
    const bool list_item = record && has_trait(*record, kRepeated);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') continue;
        std::size_t run = 1;
        while (i + run < raw.size() && raw[i + run] == '\\') ++run;
        // Before a quote, doubled backslashes are how a command line writes
        // one ("C:\My Dir\\"), not an escape of the earlier format.
        if (i + run < raw.size() && raw[i + run] == '"') {
            i += run - 1;
            continue;
        }
        if (run > 1) {
            // Exactly two at the start of a word: a UNC path.
            if (!(run == 2 && starts_word(raw, i)))
                found.push_back({i + 1, run - 1, true,
                                 std::to_string(run) + " backslashes in a row: backslashes are literal, so \\\\ is two "
                                 "of them; write a path with single backslashes (lib\\app.jar), and two meant as they stand as "
                                 "\\<U+005C>"});
            i += run - 1;
            continue;
        }
        const char next = i + 1 < raw.size() ? raw[i + 1] : '\0';
        const bool at_edge = i == 0 || i + 2 == raw.size();
        if (list_item && next == 't' && joins_items(raw, i)) {
            found.push_back({i, 1, true,
                             "\\t before NAME= looks like two items joined the old way: write each item on a line of "
                             "its own (" + std::string(record->name) + " = NAME=value)"});
        } else if (next == 's' && at_edge) {
            found.push_back({i, 1, false,
                             "\\s is a backslash and an s (backslashes are literal); for a blank at either end write "
                             "<U+0020>"});
        } else if (is_prose(record) && (next == 'n' || next == 'r' || next == 't')) {
            found.push_back({i, 1, false,
                             std::string("\\") + next + " is a backslash and a letter (backslashes are literal); for a " +
                                 (next == 't' ? "TAB write <U+0009>" : "line break write <U+000A>")});
        } else if (next == 'u' && four_hex_digits(raw, i + 2)) {
            found.push_back({i, 1, false,
                             "\\u" + std::string(raw.substr(i + 2, 4)) + " is literal text (backslashes are literal); "
                             "for that character write <U+" + std::string(raw.substr(i + 2, 4)) + ">"});
        }
    }
    return found;
}

std::string escape_value(std::u16string_view text, const RecordInfo* record) {
    std::size_t lead = 0;
    while (lead < text.size() && text[lead] == u' ') ++lead;
    std::size_t trail = text.size();
    while (trail > lead && text[trail - 1] == u' ') --trail;

    std::string out;
    std::u16string plain;
    auto flush = [&] {
        out += utf16_to_utf8(plain);
        plain.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool escape = (c == u' ' && (i < lead || i >= trail)) || needs_escape(c) ||
                            (c == u'<' && text.substr(i + 1, 2) == u"U+") ||
                            (is_high_surrogate(c) && !(i + 1 < text.size() && is_low_surrogate(text[i + 1]))) ||
                            is_low_surrogate(c);
        if (!escape) {
            plain.push_back(c);
            if (is_high_surrogate(c)) plain.push_back(text[++i]);
            continue;
        }
        flush();
        out += code_point_escape(c);
    }
    flush();

    // Backslashes that the earlier format would read as escapes are written
    // as escapes themselves, so the text reads back without a diagnostic.
    const auto old = find_old_escapes(out, record);
    for (auto it = old.rbegin(); it != old.rend(); ++it) {
        std::string replacement;
        for (std::size_t k = 0; k < it->length; ++k) replacement += code_point_escape(u'\\');
        out.replace(it->at, it->length, replacement);
    }
    return out;
}

}  // namespace qdstamp
