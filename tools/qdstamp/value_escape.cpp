#include "value_escape.h"

#include <cstdio>

#include "utf.h"

namespace qdstamp {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string unit_escape(char16_t c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
    return buf;
}

bool needs_unit_escape(char16_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

}  // namespace

bool unescape_value(std::string_view raw, std::u16string* out, std::string* error) {
    out->clear();
    std::string run;  // plain UTF-8 since the last escape
    auto flush = [&] {
        *out += utf8_to_utf16_lossy(run);
        run.clear();
    };
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            run.push_back(raw[i]);
            continue;
        }
        if (i + 1 >= raw.size()) {
            *error = "the value ends with a lone backslash (write \\\\ for a backslash)";
            return false;
        }
        char e = raw[++i];
        char16_t unit;
        switch (e) {
            case 't': unit = u'\t'; break;
            case 'n': unit = u'\n'; break;
            case 'r': unit = u'\r'; break;
            case 's': unit = u' '; break;
            case '\\': unit = u'\\'; break;
            case 'u': {
                int value = 0;
                for (int k = 1; k <= 4; ++k) {
                    int d = i + k < raw.size() ? hex_digit(raw[i + k]) : -1;
                    if (d < 0) {
                        *error = "\\u must be followed by four hex digits";
                        return false;
                    }
                    value = value * 16 + d;
                }
                i += 4;
                unit = static_cast<char16_t>(value);
                break;
            }
            default:
                *error = std::string("unknown escape \\") + (static_cast<unsigned char>(e) < 0x80 ? std::string(1, e) : std::string("...")) +
                         " (write \\\\ for a backslash)";
                return false;
        }
        flush();
        out->push_back(unit);
    }
    flush();
    return true;
}

std::string escape_value(std::u16string_view text) {
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
        char16_t c = text[i];
        std::string escape;
        if (c == u' ' && (i < lead || i >= trail)) escape = "\\s";
        else if (c == u'\\') escape = "\\\\";
        else if (c == u'\t') escape = "\\t";
        else if (c == u'\n') escape = "\\n";
        else if (c == u'\r') escape = "\\r";
        else if (needs_unit_escape(c)) escape = unit_escape(c);
        else if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            plain.push_back(c);
            plain.push_back(text[++i]);
            continue;
        } else if (is_high_surrogate(c) || is_low_surrogate(c)) escape = unit_escape(c);
        if (escape.empty()) {
            plain.push_back(c);
        } else {
            flush();
            out += escape;
        }
    }
    flush();
    return out;
}

}  // namespace qdstamp
