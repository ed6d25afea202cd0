#include "config_file.h"

#include <algorithm>
#include <cctype>

#include "records.h"
#include "utf.h"
#include "value_escape.h"
#include "version_info.h"

namespace qdstamp {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool valid_name(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

bool known_name(const std::string& name) { return find_record(name) || is_version_key(name); }

// Edits (insert, delete, replace, swap two neighbours) between two names.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// What to tell about an unknown name: the known name it was probably meant to be.
std::string unknown_name_hint(const std::string& name) {
    const std::string up = upper(name);
    if (up != name && known_name(up)) return " (names are upper case: " + up + ")";
    const std::string no_match = " (the names are listed in docs/qdstamp.md)";
    if (up.size() > 64) return no_match;
    std::vector<std::string> known;
    std::size_t count = 0;
    const RecordInfo* records = record_table(&count);
    for (std::size_t i = 0; i < count; ++i) known.push_back(records[i].name);
    const VersionKey* keys = version_key_table(&count);
    for (std::size_t i = 0; i < count; ++i) known.push_back(keys[i].key);

    std::string best;
    std::size_t best_distance = 0;
    for (const std::string& candidate : known) {
        std::size_t d = edit_distance(up, candidate);
        // "MAIN_CLASS" for CFG_MAIN_CLASS: the prefix left out.
        if (candidate.size() > 4 && (candidate.rfind("CFG_", 0) == 0 || candidate.rfind("MSG_", 0) == 0))
            d = std::min(d, edit_distance(up, std::string_view(candidate).substr(4)));
        if (d <= (candidate.size() >= 12 ? 3u : 2u) && (best.empty() || d < best_distance)) {
            best = candidate;
            best_distance = d;
        }
    }
    return best.empty() ? no_match : " (did you mean " + best + "?)";
}

}  // namespace

std::optional<std::string> foreign_encoding(std::string_view bytes) {
    auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
    using namespace std::string_view_literals;
    if (starts("\xFF\xFE\0\0"sv)) return "UTF-32 little-endian (it starts with a byte order mark)";
    if (starts("\0\0\xFE\xFF"sv)) return "UTF-32 big-endian (it starts with a byte order mark)";
    if (starts("\xFF\xFE"sv)) return "UTF-16 little-endian (it starts with a byte order mark)";
    if (starts("\xFE\xFF"sv)) return "UTF-16 big-endian (it starts with a byte order mark)";
    // Without a mark: ASCII text in UTF-16 has every other byte zero.
    const std::size_t n = std::min<std::size_t>(bytes.size(), 64) & ~std::size_t{1};
    std::size_t even_zero = 0, odd_zero = 0;
    for (std::size_t i = 0; i < n; ++i) (i % 2 ? odd_zero : even_zero) += bytes[i] == '\0';
    if (n >= 2 && odd_zero * 2 >= n / 2 && even_zero == 0) return "UTF-16 little-endian";
    if (n >= 2 && even_zero * 2 >= n / 2 && odd_zero == 0) return "UTF-16 big-endian";
    return std::nullopt;
}

Config parse_config(std::string_view text, const std::string& path, Diagnostics& diags) {
    Config config;
    config.path = path;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::map<std::string, int> first_line;

    int line_no = 0;
    while (!text.empty() || line_no == 0) {
        ++line_no;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        std::size_t bad_at = 0;
        if (!utf8_to_utf16(line, &bad_at)) {
            diags.error(path, line_no, "invalid UTF-8 (byte " + std::to_string(bad_at + 1) + " of the line)");
            continue;
        }
        std::string_view body = trim(line);
        if (body.empty() || body.front() == '#') continue;

        std::size_t eq = body.find('=');
        if (eq == std::string_view::npos) {
            diags.error(path, line_no, "expected NAME = value");
            continue;
        }
        std::string name(trim(body.substr(0, eq)));
        std::string_view raw = trim(body.substr(eq + 1));
        if (!valid_name(name)) {
            diags.error(path, line_no, "expected NAME = value (\"" + name + "\" is not a name)");
            continue;
        }
        const RecordInfo* record = find_record(name);
        if (!record && !is_version_key(name)) {
            diags.error(path, line_no, "unknown name " + name + unknown_name_hint(name));
            continue;
        }
        std::u16string value;
        std::string problem;
        if (!unescape_value(raw, &value, &problem)) {
            diags.error(path, line_no, name + ": " + problem);
            continue;
        }
        std::string said;  // each kind of place once a line
        for (const OldEscape& old : find_old_escapes(raw, record)) {
            if (old.message == said) continue;
            said = old.message;
            if (old.is_error) diags.error(path, line_no, name + ": " + old.message);
            else diags.warning(path, line_no, name + ": " + old.message);
        }
        const bool list = record && has_trait(*record, kRepeated);
        auto [first, inserted] = first_line.emplace(name, line_no);
        if (!inserted && !list) {
            diags.error(path, line_no, name + " is given twice (first on line " + std::to_string(first->second) + ")");
            continue;
        }
        ConfigValue& stored = record ? config.records[record->id] : config.version[name];
        if (inserted) {
            stored.line = line_no;
        } else {
            stored.text.push_back(kItemSeparator);
        }
        stored.text += value;
        if (list) stored.item_lines.insert(stored.item_lines.end(), 1 + std::count(value.begin(), value.end(), kItemSeparator), line_no);
    }
    return config;
}

}  // namespace qdstamp
