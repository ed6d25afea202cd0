#include "config_file.h"

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

}  // namespace

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
        const bool version_key = is_version_key(name);
        if (!record && !version_key) {
            std::string hint;
            std::string up = upper(name);
            if (up != name && (find_record(up) || is_version_key(up))) hint = " (names are upper case: " + up + ")";
            diags.error(path, line_no, "unknown name " + name + hint);
            continue;
        }
        auto [it, inserted] = first_line.emplace(name, line_no);
        if (!inserted) {
            diags.error(path, line_no, name + " is given twice (first on line " + std::to_string(it->second) + ")");
            continue;
        }
        ConfigValue value;
        value.line = line_no;
        std::string problem;
        if (!unescape_value(raw, &value.text, &problem)) {
            diags.error(path, line_no, name + ": " + problem);
            continue;
        }
        if (record) config.records[record->id] = value;
        else config.version[name] = value;
    }
    return config;
}

}  // namespace qdstamp
