#include "config_check.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <optional>
#include <vector>

#include "records.h"
#include "starter_config.h"
#include "utf.h"
#include "version_info.h"

namespace qdstamp {
namespace {

// The launcher reads at most this many characters of options text before it
// appends the options file; warn with some margin before that.
constexpr std::size_t kJvmOptionsWarn = 31000;
constexpr std::size_t kJvmOptionsLimit = 31744;

std::optional<std::int32_t> parse_integer(std::u16string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == u'-') {
        negative = true;
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
        value = value * 10 + (text[i] - u'0');
        if (value > std::int64_t{INT_MAX} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string quoted(std::u16string_view text) {
    std::u16string shown(text.substr(0, 40));
    return "\"" + utf16_to_utf8(shown) + (text.size() > 40 ? "...\"" : "\"");
}

// Dotted version compare of numeric parts ("1.8.0_301", "17.0.2"); nullopt
// when either text has a part that is not a number.
std::optional<int> compare_versions(std::u16string_view a, std::u16string_view b) {
    auto split = [](std::u16string_view s) -> std::optional<std::vector<long>> {
        std::vector<long> parts;
        long value = 0;
        std::size_t digits = 0;
        for (std::size_t i = 0; i <= s.size(); ++i) {
            if (i == s.size() || s[i] == u'.' || s[i] == u'_' || s[i] == u'-') {
                if (digits == 0) return std::nullopt;
                parts.push_back(value);
                value = 0;
                digits = 0;
            } else if (s[i] >= u'0' && s[i] <= u'9' && digits < 9) {
                value = value * 10 + (s[i] - u'0');
                ++digits;
            } else {
                return std::nullopt;
            }
        }
        return parts;
    };
    auto pa = split(a), pb = split(b);
    if (!pa || !pb) return std::nullopt;
    for (std::size_t i = 0; i < std::max(pa->size(), pb->size()); ++i) {
        long x = i < pa->size() ? (*pa)[i] : 0;
        long y = i < pb->size() ? (*pb)[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

// What the launcher reads as a Java version: numbers separated by "." or "_",
// then optionally "-" or "+" and a tail of letters, digits and . _ + -
// ("17", "1.8.0_202", "21-ea", "17.0.10+7-LTS").
bool is_java_version(std::u16string_view v) {
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    std::size_t i = 0;
    for (;;) {
        if (i == v.size() || !digit(v[i])) return false;
        while (i < v.size() && digit(v[i])) ++i;
        if (i + 1 < v.size() && (v[i] == u'.' || v[i] == u'_') && digit(v[i + 1])) ++i;
        else break;
    }
    if (i == v.size()) return true;
    if ((v[i] != u'-' && v[i] != u'+') || i + 1 == v.size()) return false;
    for (++i; i < v.size(); ++i) {
        char16_t c = v[i];
        bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (!letter && !digit(c) && c != u'.' && c != u'_' && c != u'+' && c != u'-') return false;
    }
    return true;
}

// A Java version's numbers as the runtime sources fold them: "1.x" is x, and
// an update after "_" is the third number (1.8.0_202 and 8.0.202 are one). A
// tail after "-" or "+" plays no part here.
std::vector<long> folded_java_numbers(std::u16string_view v) {
    std::vector<long> dotted, update;
    std::vector<long>* into = &dotted;
    long value = 0;
    bool digits = false;
    for (std::size_t i = 0; i <= v.size(); ++i) {
        const char16_t c = i < v.size() ? v[i] : u'-';
        if (c >= u'0' && c <= u'9') {
            value = std::min(value * 10 + (c - u'0'), 999999999L);
            digits = true;
            continue;
        }
        if (digits) into->push_back(value);
        value = 0;
        digits = false;
        if (c == u'_') into = &update;
        else if (c != u'.') break;
    }
    if (dotted.size() >= 2 && dotted[0] == 1) dotted.erase(dotted.begin());
    if (!update.empty()) {
        dotted.resize(std::max<std::size_t>(dotted.size(), 2));
        dotted.insert(dotted.end(), update.begin(), update.end());
    }
    return dotted;
}

// Whether a Java version marks an early-access build as the runtime sources
// read it: a "-" tail, unless it is the long-term-support mark (-LTS...) or an
// old build number (-b08). A "+build" tail marks none.
bool is_early_access(std::u16string_view v) {
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    std::size_t i = 0;
    while (i < v.size() && (digit(v[i]) || v[i] == u'.' || v[i] == u'_')) ++i;
    if (i == v.size() || v[i] != u'-') return false;
    std::string tail = utf16_to_utf8(std::u16string(v.substr(i + 1)));
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail.rfind("lts", 0) == 0 && (tail.size() == 3 || !(digit(tail[3]) || letter(tail[3])))) return false;
    if (tail.size() >= 2 && tail[0] == 'b' && digit(tail[1])) {
        std::size_t end = 1;
        while (end < tail.size() && digit(tail[end])) ++end;
        if (end == tail.size() || !letter(tail[end])) return false;
    }
    return true;
}

// Whether the lower bound itself lies above the upper one as the runtime
// sources compare them: then no release can lie between them. A bound with
// fewer numbers covers every version that begins with it (CFG_MAX_VERSION =
// 17 admits 17.0.9); an early-access bound covers early-access builds only,
// so CFG_MAX_VERSION = 21-ea lies below CFG_MIN_VERSION = 21.
bool java_bounds_exclude_all(std::u16string_view max, std::u16string_view min) {
    const std::vector<long> high = folded_java_numbers(max), low = folded_java_numbers(min);
    for (std::size_t i = 0; i < high.size(); ++i) {
        const long at = i < low.size() ? low[i] : 0;
        if (at != high[i]) return at > high[i];
    }
    return is_early_access(max) && !is_early_access(min);
}

constexpr const char* kRuntimeSources[] = {"registry", "java_home", "path", "folders"};

bool is_absolute_path(std::u16string_view p) {
    if (!p.empty() && (p[0] == u'\\' || p[0] == u'/')) return true;
    return p.size() >= 2 && p[1] == u':' &&
           ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
}

// Where a command-line text has a quote that Java takes as part of a quoted
// argument although it looks like its end: one backslash (or an odd run) right
// before it and a blank or the end of the text after it ("C:\My Dir\" -x).
std::optional<std::size_t> quote_kept_in_argument(std::u16string_view text) {
    bool quoted = false;
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            ++backslashes;
            continue;
        }
        if (text[i] == u'"') {
            const bool ends_word = i + 1 == text.size() || text[i + 1] == u' ' || text[i + 1] == u'\t';
            if (backslashes % 2 == 0) quoted = !quoted;
            else if (quoted && ends_word) return i;
        }
        backslashes = 0;
    }
    return std::nullopt;
}

std::optional<std::size_t> first_control(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] < 0x20 || text[i] == 0x7F) return i;
    return std::nullopt;
}

// The blanks of Unicode (its space separators).
bool is_blank(char16_t c) {
    return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

std::string code_point(char16_t c) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "U+";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(digits[(c >> shift) & 0xF]);
    return out;
}

// A classpath item that Java resolves against the current folder.
bool is_relative_item(std::u16string_view item) {
    return !item.empty() && !is_absolute_path(item) && item[0] != u'%';
}

// A Java identifier: a letter, '_' or '$', then also digits; not a keyword.
// Characters beyond ASCII are taken as letters (Java admits most of them).
bool is_java_identifier(std::u16string_view word) {
    static const char* const kKeywords[] = {
        "abstract", "assert", "boolean", "break", "byte", "case", "catch", "char", "class", "const", "continue",
        "default", "do", "double", "else", "enum", "extends", "false", "final", "finally", "float", "for", "goto",
        "if", "implements", "import", "instanceof", "int", "interface", "long", "native", "new", "null", "package",
        "private", "protected", "public", "return", "short", "static", "strictfp", "super", "switch",
        "synchronized", "this", "throw", "throws", "transient", "true", "try", "void", "volatile", "while", "_"};
    if (word.empty() || (word[0] >= u'0' && word[0] <= u'9')) return false;
    for (char16_t c : word) {
        bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$' || c >= 0x80;
        if (!letter && !(c >= u'0' && c <= u'9')) return false;
    }
    const std::string text = utf16_to_utf8(std::u16string(word));
    for (const char* keyword : kKeywords)
        if (text == keyword) return false;
    return true;
}

// Java identifiers separated by single dots (com.example.app).
bool is_dotted_name(std::u16string_view name) {
    for (;;) {
        std::size_t dot = name.find(u'.');
        if (!is_java_identifier(name.substr(0, dot))) return false;
        if (dot == std::u16string_view::npos) return true;
        name.remove_prefix(dot + 1);
    }
}

class Checker {
public:
    Checker(const Config& c, Diagnostics& d) : config_(c), diags_(d) {}

    const ConfigValue* get(int id) const {
        auto it = config_.records.find(id);
        return it == config_.records.end() ? nullptr : &it->second;
    }
    std::optional<std::int32_t> integer(int id) const {
        const ConfigValue* v = get(id);
        return v ? parse_integer(v->text) : std::nullopt;
    }
    bool is_true(int id) const {
        const ConfigValue* v = get(id);
        return v && v->text == u"true";
    }
    void error(int line, const std::string& m) { diags_.error(config_.path, line, m); }
    void warning(int line, const std::string& m) { diags_.warning(config_.path, line, m); }

    // A value the starter configuration asks the vendor to fill in. It is
    // not checked further: it is no value yet.
    bool check_placeholder(const std::string& name, const ConfigValue& v, bool building) {
        if (!is_placeholder(v.text)) return false;
        const std::string m = name + " is still the placeholder " + quoted(v.text) + ": write your own value";
        if (building) error(v.line, m);
        else warning(v.line, m + " (build refuses it)");
        return true;
    }

    void check_record(const RecordInfo& r, const ConfigValue& v) {
        const std::string name = r.name;
        if (v.text.find(u'\0') != std::u16string::npos) {
            error(v.line, name + ": a zero character would end the text early");
            return;
        }
        if (v.text.size() + 1 > static_cast<std::size_t>(r.capacity)) {
            error(v.line, name + ": the value is " + std::to_string(v.text.size()) +
                              " UTF-16 code units long; at most " + std::to_string(r.capacity - 1) + " fit");
            return;
        }
        switch (r.kind) {
            case RecordKind::Boolean:
                if (v.text != u"true" && v.text != u"false")
                    error(v.line, name + ": must be true or false, not " + quoted(v.text));
                break;
            case RecordKind::Integer:
                if (!parse_integer(v.text))
                    error(v.line, name + ": must be a decimal number in signed 32-bit range, not " + quoted(v.text));
                break;
            case RecordKind::Expanded:
                check_percent_signs(name, v.text, v.line);
                break;
            case RecordKind::EnvVars:
                check_env_vars(v);
                break;
            case RecordKind::Text:
                break;
        }
        if ((r.id == CFG_MIN_VERSION || r.id == CFG_MAX_VERSION) && !v.text.empty() && !is_java_version(v.text))
            error(v.line, name + ": " + quoted(v.text) + " is not a Java version (write it like 17, 1.8.0_202 or 21-ea)");
        if (r.id == CFG_RUNTIME_SOURCES) check_runtime_sources(v);
        if (r.id == CFG_RUNTIME_MACHINES) check_runtime_machines(v);
        if (r.id == CFG_MODULE) check_module(v);
        if (r.id == CFG_APP_USER_MODEL_ID) check_app_user_model_id(v);
        if (r.id == CFG_MUTEX) check_mutex_name(v);
        if (has_trait(r, kPath) || has_trait(r, kCommandLine))
            if (auto at = first_control(v.text))
                error(v.line, name + ": contains the control character " + code_point(v.text[*at]) + " (character " +
                                  std::to_string(*at + 1) + "), which " +
                                  (has_trait(r, kCommandLine) ? "the child's command line cannot carry"
                                                              : "a file name cannot hold") +
                                  "; remove it (a TAB typed inside the value, or a <U+...> escape, put it there)");
        if (has_trait(r, kCommandLine) && !has_trait(r, kQuoted))
            if (auto at = quote_kept_in_argument(v.text))
                warning(v.line, name + ": the quote at character " + std::to_string(*at + 1) +
                                    " follows a single backslash, so Java takes it as part of the argument, which runs "
                                    "on into what follows; before a closing quote write the backslash twice "
                                    "(\"C:\\My Dir\\\\\")");
        if (has_trait(r, kQuoted) && v.text.find(u'"') != std::u16string::npos)
            error(v.line, name + ": contains a double quote, but the launcher puts this text in quotes itself; "
                                 "write it without quotes (" + name + " = my app.jar)");
    }

    // A kernel object's name holds no backslash after its namespace prefix,
    // written exactly Global\ or Local\; with any other backslash the system
    // creates no mutex, and the application would run without its single
    // instance.
    void check_mutex_name(const ConfigValue& v) {
        std::u16string rest = v.text;
        for (const std::u16string prefix : {u"Global\\", u"Local\\"}) {
            if (rest.compare(0, prefix.size(), prefix) != 0) continue;
            rest.erase(0, prefix.size());
            break;
        }
        if (auto at = rest.find(u'\\'); at != std::u16string::npos)
            error(v.line, "CFG_MUTEX: contains a backslash at character " +
                              std::to_string(v.text.size() - rest.size() + at + 1) +
                              ", which a mutex name may hold only after Global\\ or Local\\ (as written here); "
                              "without a mutex every start would run the application anew (MyCompany.MyApp, or "
                              "Global\\MyCompany.MyApp for one instance across all sessions)");
    }

    // Windows takes an AppUserModelID of at most 128 characters without
    // blanks (the capacity sees to the length) and recommends the form
    // Company.Product[.SubProduct[.Version]]. Its documentation rules out no
    // other character, so the rest of the form is a warning only.
    void check_app_user_model_id(const ConfigValue& v) {
        const std::string name = "CFG_APP_USER_MODEL_ID";
        if (v.text.empty()) {
            warning(v.line, name + " is empty, which counts as absent: the application's windows keep the Java "
                                   "runtime's taskbar identity; give an ID (ExampleLtd.MyApp) or remove the key");
            return;
        }
        for (std::size_t i = 0; i < v.text.size(); ++i) {
            const char16_t c = v.text[i];
            const bool control = c < 0x20 || c == 0x7F;
            if (!control && !is_blank(c)) continue;
            error(v.line, name + ": contains " + (control ? "the control character " : "the blank ") + code_point(c) +
                              " (character " + std::to_string(i + 1) + "); an AppUserModelID holds no blanks and no "
                              "control characters (ExampleLtd.MyApp)");
            return;
        }
        std::u16string_view rest = v.text;
        std::size_t parts = 0;
        bool usual = true;
        for (;;) {
            const std::size_t dot = rest.find(u'.');
            const std::u16string_view part = rest.substr(0, dot);
            usual = usual && !part.empty();
            for (char16_t c : part)
                usual = usual && ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                                  c == u'-' || c == u'_');
            ++parts;
            if (dot == std::u16string_view::npos) break;
            rest.remove_prefix(dot + 1);
        }
        if (!usual || parts < 2)
            warning(v.line, name + ": " + quoted(v.text) + " is not in the form Windows recommends, "
                                   "Company.Product[.SubProduct[.Version]]: parts of letters, digits, - and _ separated "
                                   "by single dots (ExampleLtd.MyApp)");
    }

    void check_env_vars(const ConfigValue& v) {
        if (v.text.empty()) return;
        std::size_t start = 0, item = 0;
        for (;;) {
            std::size_t end = v.text.find(kItemSeparator, start);
            std::u16string_view entry = std::u16string_view(v.text).substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
            std::size_t eq = entry.find(u'=');
            const std::string label = "CFG_ENV_VARS item " + std::to_string(item + 1);
            const int line = v.line_of_item(item);
            if (eq == std::u16string_view::npos)
                error(line, label + " (" + quoted(entry) + ") has no '=' (write one NAME=value item per CFG_ENV_VARS line)");
            else if (eq == 0)
                error(line, label + " (" + quoted(entry) + ") has an empty variable name");
            else
                check_percent_signs(label + " (" + quoted(entry) + ")", entry.substr(eq + 1), line);
            if (end == std::u16string::npos) break;
            start = end + 1;
            ++item;
        }
    }

    // module or module/main.class, both dotted Java names.
    void check_module(const ConfigValue& v) {
        std::u16string_view text = v.text;
        std::size_t slash = text.find(u'/');
        std::u16string_view module = text.substr(0, slash);
        const std::string example = " (write CFG_MODULE = com.example.app or com.example.app/com.example.app.Main)";
        if (!is_dotted_name(module)) {
            error(v.line, "CFG_MODULE: " + quoted(module) + " is not a module name: Java identifiers separated by dots" +
                              example);
        } else if (slash != std::u16string_view::npos && !is_dotted_name(text.substr(slash + 1))) {
            error(v.line, "CFG_MODULE: " + quoted(text.substr(slash + 1)) +
                              " is not a class name: Java identifiers separated by dots" + example);
        }
    }

    // The items of a ";"-separated word list, without the blanks around them,
    // each with its word in lower case (the launcher takes any case).
    static std::vector<std::pair<std::u16string_view, std::string>> list_words(std::u16string_view text) {
        std::vector<std::pair<std::u16string_view, std::string>> items;
        for (std::size_t start = 0;;) {
            const std::size_t end = text.find(u';', start);
            std::u16string_view entry = text.substr(start, end == std::u16string_view::npos ? end : end - start);
            while (!entry.empty() && (entry.front() == u' ' || entry.front() == u'\t')) entry.remove_prefix(1);
            while (!entry.empty() && (entry.back() == u' ' || entry.back() == u'\t')) entry.remove_suffix(1);
            std::string word = utf16_to_utf8(std::u16string(entry));
            for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            items.emplace_back(entry, word);
            if (end == std::u16string_view::npos) return items;
            start = end + 1;
        }
    }

    // ";"-separated source words, any case, blanks around them allowed.
    void check_runtime_sources(const ConfigValue& v) {
        std::vector<std::string> seen;
        std::size_t item = 1;
        const std::string label = "CFG_RUNTIME_SOURCES: ";
        for (const auto& [entry, word] : list_words(v.text)) {
            bool known = false;
            for (const char* source : kRuntimeSources) known = known || word == source;
            if (entry.empty())
                error(v.line, label + "item " + std::to_string(item) + " is empty (sources are separated by ;)");
            else if (!known)
                error(v.line, label + quoted(entry) + " is not a runtime source (registry, java_home, path, folders)");
            else if (std::find(seen.begin(), seen.end(), word) != seen.end())
                warning(v.line, label + quoted(entry) + " is listed twice; it is searched once");
            seen.push_back(word);
            ++item;
        }
    }

    // x64 and arm64 in the order of preference, any case; the launcher
    // refuses anything else, and a word given twice, which leaves the order
    // unclear.
    void check_runtime_machines(const ConfigValue& v) {
        std::vector<std::string> seen;
        const std::string label = "CFG_RUNTIME_MACHINES: ";
        bool valid = true;
        for (const auto& [entry, word] : list_words(v.text)) {
            if (word != "x64" && word != "arm64") {
                error(v.line, label + (entry.empty() ? std::string("an item is empty") : quoted(entry) + " is not a machine") +
                                  " (write x64, or arm64;x64 for ARM64 runtimes first)");
                valid = false;
            } else if (std::find(seen.begin(), seen.end(), word) != seen.end()) {
                error(v.line, label + quoted(entry) + " is given twice");
                valid = false;
            }
            seen.push_back(word);
        }
        if (valid && std::find(seen.begin(), seen.end(), "x64") == seen.end())
            warning(v.line, label + "x64 is not listed, but the launcher always accepts x64 runtimes, after the listed "
                                    "ones; write arm64;x64 to say so");
    }

    void check_relations(const CheckContext& context) {
        const ConfigValue* startup = get(MSG_STARTUP_ERROR);
        if (!startup) error(0, "MSG_STARTUP_ERROR is required (the message shown when the application cannot start)");
        else if (startup->text.empty()) warning(startup->line, "MSG_STARTUP_ERROR is empty");

        if (const ConfigValue* main_class = get(CFG_MAIN_CLASS); main_class && !get(CFG_CLASSPATH) && !get(CFG_MODULE))
            error(main_class->line, "CFG_MAIN_CLASS needs CFG_CLASSPATH");
        if (const ConfigValue* main_class = get(CFG_MAIN_CLASS);
            main_class && main_class->text.empty() && !get(CFG_MODULE))
            error(main_class->line, "CFG_MAIN_CLASS is empty: Java would take the next argument for the main class; "
                                    "give the class (com.example.Main), or remove the key for the jar form");
        check_module_form();
        check_what_starts();
        check_relative_classpath();
        if (auto timeout = integer(CFG_SPLASH_TIMEOUT); timeout && (*timeout < 1 || *timeout > 900))
            error(get(CFG_SPLASH_TIMEOUT)->line,
                  "CFG_SPLASH_TIMEOUT must be between 1 and 900 seconds, not " + std::to_string(*timeout));
        if (context.console_launcher) {
            check_console_launcher(context.splash);
        } else {
            check_splash(context.splash);
            const ConfigValue* mutex = get(CFG_MUTEX);
            if (is_true(CFG_FORWARD_ARGUMENTS) && (!mutex || mutex->text.empty()))
                warning(get(CFG_FORWARD_ARGUMENTS)->line,
                        "CFG_FORWARD_ARGUMENTS has no effect without CFG_MUTEX: every start runs the application anew, "
                        "so there is no running instance to hand a start to");
        }

        if (auto order = integer(CFG_SEARCH_ORDER); order && (*order < 0 || *order > 3))
            warning(get(CFG_SEARCH_ORDER)->line, "CFG_SEARCH_ORDER " + std::to_string(*order) +
                                       " is not 0..3; the launcher treats it as 1");
        if (auto order = integer(CFG_SEARCH_ORDER); order && *order == 0 && get(CFG_RUNTIME_SOURCES))
            warning(get(CFG_SEARCH_ORDER)->line, "CFG_SEARCH_ORDER 0 with CFG_RUNTIME_SOURCES searches only runtime (JRE) keys, but "
                                   "Oracle, Microsoft, SapMachine and Temurin's default install register development "
                                   "kits (JDK) only; write 1 (runtimes, then development kits, as when the key is "
                                   "absent)");

        check_heap();

        if (is_true(CFG_PRIVATE_LAUNCHER) && !get(CFG_RUNTIME_DIR))
            warning(get(CFG_PRIVATE_LAUNCHER)->line, "CFG_PRIVATE_LAUNCHER has no effect without CFG_RUNTIME_DIR: only "
                                                     "the bundled runtime gets a private copy; an installed one runs "
                                                     "its own javaw.exe");

        if (const ConfigValue* work = get(CFG_WORK_DIR); work && is_absolute_path(work->text))
            warning(work->line, "CFG_WORK_DIR looks absolute, but the launcher always appends it to its own directory");

        const ConfigValue* min = get(CFG_MIN_VERSION);
        const ConfigValue* max = get(CFG_MAX_VERSION);
        if (const ConfigValue* sources = get(CFG_RUNTIME_SOURCES); sources && !min)
            warning(sources->line, "CFG_RUNTIME_SOURCES has no effect without CFG_MIN_VERSION: without a lower bound "
                                   "no installed runtime is searched");
        if (min && max && !min->text.empty() && !max->text.empty()) {
            // The runtime sources compare as Java does; the original search by plain numbers.
            const auto cmp = compare_versions(max->text, min->text);
            const bool below = get(CFG_RUNTIME_SOURCES) ? is_java_version(max->text) && is_java_version(min->text) &&
                                             java_bounds_exclude_all(max->text, min->text)
                                       : cmp && *cmp < 0;
            if (below)
                warning(max->line, "CFG_MAX_VERSION " + quoted(max->text) + " is below CFG_MIN_VERSION " + quoted(min->text) +
                                       (get(CFG_RUNTIME_SOURCES) && is_early_access(max->text)
                                            ? ": an early-access bound admits early-access builds only"
                                            : ""));
        }

        if (const ConfigValue* msg = get(MSG_RUNTIME_VERSION_ERROR)) {
            std::size_t total = msg->text.size() + 1 + (min ? min->text.size() : 0) + 3 + (max ? max->text.size() : 0);
            if (total > 1023)
                warning(msg->line, "MSG_RUNTIME_VERSION_ERROR plus \" <min> - <max>\" is " + std::to_string(total) +
                                       " characters; the launcher's message buffer holds 1023 and cuts the rest");
        }

        if (const ConfigValue* opts = get(CFG_JVM_OPTIONS); opts && opts->text.size() > kJvmOptionsWarn)
            warning(opts->line, "CFG_JVM_OPTIONS is " + std::to_string(opts->text.size()) + " characters; the launcher reads at most " +
                                    std::to_string(kJvmOptionsLimit) + " before appending the options file");

        check_priority();
        check_restart_code();
    }

    // The launcher restarts the application when it ends with exactly this
    // code, so it must be one that no other kind of end gives.
    void check_restart_code() {
        const ConfigValue* v = get(CFG_RESTART_EXIT_CODE);
        auto code = integer(CFG_RESTART_EXIT_CODE);
        if (!v || !code) return;
        const std::string name = "CFG_RESTART_EXIT_CODE " + std::to_string(*code);
        const std::string choose = "; choose a code from 2 to 255 (not 130 or 143), or leave the key out for no restart";
        if (*code == 0)
            error(v->line, name + " is the code of a normal end: every end would restart the application" + choose);
        else if (*code == 1)
            error(v->line, name + " is the code Java ends with when the application fails (an exception out of main, "
                                  "a runtime that cannot start): every failure would restart it" + choose);
        else if (*code == 130 || *code == 143)
            error(v->line, name + " is the code Java ends with on Ctrl+C (130) or when the console closes or Windows "
                                  "shuts down (143): the application would come back instead of ending" + choose);
        else if (*code < 2 || *code > 255)
            error(v->line, name + " is outside 2 to 255, where the system's codes lie (a crash ends with one)" + choose);
    }

    // References pair from the left: %NAME% is a reference, %% one literal
    // sign, and a last sign without a partner is passed on literally. A pair
    // whose name holds a blank followed by '-' is two options' signs pairing
    // up (-XX:ErrorFile=x%p.log -Dhome=%EXEDIR%), which loses the text between.
    void check_percent_signs(const std::string& label, std::u16string_view text, int line) {
        std::size_t read = 0;
        for (;;) {
            std::size_t open = text.find(u'%', read);
            if (open == std::u16string_view::npos) return;
            std::size_t close = text.find(u'%', open + 1);
            if (close == std::u16string_view::npos) {
                warning(line, label + ": the last '%' has no partner and is passed on as it is "
                                      "(write %% for a literal '%')");
                return;
            }
            std::u16string_view name = text.substr(open + 1, close - open - 1);
            for (std::size_t i = 0; i + 1 < name.size(); ++i) {
                if ((name[i] == u' ' || name[i] == u'\t') && name[i + 1] == u'-') {
                    warning(line, label + ": the '%' signs of " + quoted(text.substr(open, close - open + 1)) +
                                      " pair up across two options and that text is replaced as one reference; "
                                      "write %% for a literal '%'");
                    break;
                }
            }
            read = close + 1;
        }
    }

    // Only a priority class reaches the child's creation flags; other flags
    // (4 suspended, 1 and 2 debugging) would keep it from ever running.
    void check_priority() {
        const ConfigValue* v = get(CFG_PRIORITY);
        auto priority = integer(CFG_PRIORITY);
        if (!v || !priority) return;
        for (std::int32_t allowed : {0, 32, 64, 128, 256, 16384, 32768})
            if (*priority == allowed) return;
        error(v->line, "CFG_PRIORITY must be one priority class: 64 (idle), 16384 (below normal), 32 (normal), "
                       "32768 (above normal), 128 (high), 256 (realtime), or 0 (the system's default); not " +
                           std::to_string(*priority));
    }

    // With CFG_MODULE the launcher starts the main module and ignores the
    // records of the other forms: given together, one of them is a mistake.
    void check_module_form() {
        if (!get(CFG_MODULE)) {
            if (const ConfigValue* module_path = get(CFG_MODULE_PATH))
                warning(module_path->line, "CFG_MODULE_PATH has no effect without CFG_MODULE (the main module, such as "
                                           "com.example.app/com.example.app.Main)");
            return;
        }
        for (ConfigRecord id : {CFG_JAR, CFG_MAIN_CLASS, CFG_JAR_IN_EXE})
            if (const ConfigValue* v = get(id))
                error(v->line, std::string(find_record(id)->name) +
                                   " cannot be given with CFG_MODULE: the launcher starts the main module and would "
                                   "ignore it; remove it (jars that are not modules go into CFG_CLASSPATH)");
    }

    // The launcher starts a main module, a main class (classpath form) or a
    // jar; with none it would hand Java -jar "<its folder>\".
    void check_what_starts() {
        if (get(CFG_MODULE) || get(CFG_MAIN_CLASS) || is_true(CFG_JAR_IN_EXE)) return;
        const ConfigValue* jar = get(CFG_JAR);
        if (jar && !jar->text.empty()) return;
        error(jar ? jar->line : 0,
              std::string(jar ? "CFG_JAR is empty" : "nothing to start") +
                  ": give CFG_MAIN_CLASS with CFG_CLASSPATH, CFG_JAR, or CFG_JAR_IN_EXE = true (otherwise the launcher "
                  "passes -jar \"<its folder>\\\" to Java)");
    }

    // Java resolves relative classpath items against the current folder,
    // which the launcher leaves as inherited unless CFG_WORK_DIR is given.
    // The jar form needs none: the launcher joins the jar to its own folder,
    // as it does with relative module-path items.
    void check_relative_classpath() {
        if (get(CFG_WORK_DIR) || !(get(CFG_MAIN_CLASS) || get(CFG_MODULE))) return;
        std::vector<std::pair<const ConfigValue*, std::u16string_view>> relative;
        if (const ConfigValue* classpath = get(CFG_CLASSPATH)) {
            std::u16string_view rest = classpath->text;
            while (!rest.empty()) {
                std::size_t end = rest.find(u';');
                std::u16string_view item = rest.substr(0, end);
                if (is_relative_item(item)) relative.emplace_back(classpath, item);
                rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
            }
        }
        // In the classpath form the jar is a classpath item as written.
        if (const ConfigValue* jar = get(CFG_JAR); jar && !is_true(CFG_JAR_IN_EXE) && is_relative_item(jar->text))
            relative.emplace_back(jar, jar->text);
        if (relative.empty()) return;
        warning(relative.front().first->line,
                "classpath item " + quoted(relative.front().second) +
                    (relative.size() > 1 ? " (and " + std::to_string(relative.size() - 1) + " more)" : "") +
                    " is relative and CFG_WORK_DIR is not given: Java looks for it in the current folder, which is the "
                    "document's folder when the application is opened through a file association; add "
                    "CFG_WORK_DIR = . (the launcher's folder)");
    }

    void check_splash(SplashSource splash) {
        if (is_true(CFG_SPLASH)) {
            if (splash == SplashSource::Missing)
                error(get(CFG_SPLASH)->line, "CFG_SPLASH = true needs a splash picture: give --splash picture.png "
                                             "(or .bmp; the launcher has no bitmap 1)");
            else if (splash == SplashSource::Unknown)
                warning(get(CFG_SPLASH)->line, "CFG_SPLASH = true: build needs --splash picture.png (or .bmp) "
                                               "unless the launcher already carries a splash bitmap");
            return;
        }
        for (ConfigRecord id : {CFG_SPLASH_UNTIL_WINDOW, CFG_SPLASH_TIMEOUT, CFG_SPLASH_TIMEOUT_ERROR})
            if (const ConfigValue* v = get(id))
                warning(v->line, std::string(find_record(id)->name) + " has no effect unless CFG_SPLASH = true");
        if (splash == SplashSource::Given)
            warning(get(CFG_SPLASH) ? get(CFG_SPLASH)->line : 0,
                    "--splash is given but CFG_SPLASH is not true: the picture is stored in the launcher and never "
                    "shown; add CFG_SPLASH = true or leave out --splash");
    }

    // What only windows make sense of is stamped in vain into the console
    // launcher, which has none (a switched-off setting is harmless).
    void check_console_launcher(SplashSource splash) {
        const std::string ignored = " is ignored by the console launcher, ";
        for (ConfigRecord id : {CFG_SPLASH, CFG_SPLASH_UNTIL_WINDOW, CFG_SPLASH_TIMEOUT, CFG_SPLASH_TIMEOUT_ERROR})
            if (const ConfigValue* v = get(id); v && (id == CFG_SPLASH_TIMEOUT || is_true(id)))
                warning(v->line, std::string(find_record(id)->name) + ignored + "which shows no splash screen");
        if (is_true(CFG_WAIT))
            warning(get(CFG_WAIT)->line, "CFG_WAIT" + ignored + "which has no window to keep responsive");
        if (const ConfigValue* v = get(CFG_INSTANCE_TITLE))
            warning(v->line, "CFG_INSTANCE_TITLE" + ignored + "which brings no window forward: another instance "
                             "is reported on standard error");
        if (const ConfigValue* v = get(CFG_APP_USER_MODEL_ID))
            warning(v->line, "CFG_APP_USER_MODEL_ID" + ignored + "which has no taskbar button of its own (its "
                             "window is the console's)");
        if (is_true(CFG_FORWARD_ARGUMENTS))
            warning(get(CFG_FORWARD_ARGUMENTS)->line,
                    "CFG_FORWARD_ARGUMENTS" + ignored + "which hands no start to a running instance");
        if (splash == SplashSource::Given)
            warning(0, "--splash" + ignored + "which shows no splash screen: the picture is stored and never shown");
    }

    void check_heap() {
        struct Pair { ConfigRecord low, high; const char* text; };
        const Pair pairs[] = {
            {CFG_MIN_HEAP_MB, CFG_PREFERRED_HEAP_MB, "CFG_PREFERRED_HEAP_MB is below CFG_MIN_HEAP_MB"},
            {CFG_MIN_HEAP_MB, CFG_MAX_HEAP_MB, "CFG_MAX_HEAP_MB is below CFG_MIN_HEAP_MB"},
            {CFG_INITIAL_HEAP_MB, CFG_MAX_HEAP_MB, "CFG_MAX_HEAP_MB is below CFG_INITIAL_HEAP_MB"},
            {CFG_PREFERRED_HEAP_MB, CFG_MAX_HEAP_MB, "CFG_MAX_HEAP_MB is below CFG_PREFERRED_HEAP_MB"},
        };
        for (const Pair& p : pairs) {
            auto low = integer(p.low), high = integer(p.high);
            if (low && high && *high < *low) warning(get(p.high)->line, p.text);
        }
        for (ConfigRecord id : {CFG_INITIAL_HEAP_MB, CFG_MAX_HEAP_MB, CFG_PREFERRED_HEAP_MB, CFG_MIN_HEAP_MB})
            if (auto v = integer(id); v && *v < 0)
                warning(get(id)->line, std::string(find_record(id)->name) + " is negative");
        if (auto percent = integer(CFG_INITIAL_HEAP_PERCENT); percent && (*percent < 0 || *percent > 100))
            warning(get(CFG_INITIAL_HEAP_PERCENT)->line, "CFG_INITIAL_HEAP_PERCENT is not a percentage (0..100)");
    }

    void check_version_keys(const CheckContext& context) {
        if (config_.version.empty()) {
            warning(0, "no version keys: Explorer and Task Manager will show " + launcher_identity(context) +
                           "; give at least PRODUCT_NAME, FILE_DESCRIPTION and FILE_VERSION");
            return;
        }
        for (const auto& [key, value] : config_.version) {
            if (check_placeholder(key, value, context.building)) continue;
            if (value.text.find(u'\0') != std::u16string::npos)
                error(value.line, key + ": a zero character would end the text early");
            else if (value.text.size() + 1 > static_cast<std::size_t>(kVersionStringCapacity))
                error(value.line, key + ": at most " + std::to_string(kVersionStringCapacity - 1) + " characters fit");
        }
        for (const char* key : {"FILE_VERSION", "PRODUCT_VERSION"}) {
            auto it = config_.version.find(key);
            if (it != config_.version.end() && !is_placeholder(it->second.text) && !parse_version_number(it->second.text))
                error(it->second.line, std::string(key) + " must be four numbers a.b.c.d, each 0..65535, not " +
                                           quoted(it->second.text));
        }
        if (config_.version.find("FILE_VERSION") == config_.version.end())
            error(config_.version.begin()->second.line,
                  "version keys rewrite the whole version resource, which needs FILE_VERSION (a.b.c.d)");
    }

private:
    // What Windows shows for the stamped file when its version resource stays.
    static std::string launcher_identity(const CheckContext& context) {
        if (!context.launcher_version)
            return "the launcher's own description and product name (\"Java application launcher\", \"qdlauncher\" "
                   "for the record-free qdlauncher)";
        const auto& strings = *context.launcher_version;
        auto text = [&](const char16_t* key) {
            auto it = strings.find(key);
            return it == strings.end() || it->second.empty() ? std::string("(none)") : quoted(it->second);
        };
        if (strings.empty()) return "no description or product name (the launcher has no version resource)";
        return "the launcher's own description " + text(u"FileDescription") + " and product name " + text(u"ProductName");
    }

    const Config& config_;
    Diagnostics& diags_;
};

}  // namespace

void check_config(const Config& config, const CheckContext& context, Diagnostics& diags) {
    Checker checker(config, diags);
    for (const auto& [id, value] : config.records) {
        const RecordInfo& record = *find_record(id);
        if (!checker.check_placeholder(record.name, value, context.building)) checker.check_record(record, value);
    }
    checker.check_relations(context);
    checker.check_version_keys(context);
}

}  // namespace qdstamp
