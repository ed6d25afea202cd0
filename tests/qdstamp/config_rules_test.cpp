// Every configuration rule with a failing and a passing case, run through
// "qdstamp check" (or "qdstamp build" of the tiny fixture, for the rules about
// the pictures given to build and about the launcher).  Line 1 of each file is
// the required MSG_STARTUP_ERROR, so the line under test is line 2.
#include <gtest/gtest.h>

#include <optional>

#include "test_support.h"

namespace {

using qdstamp::Bytes;
using qdtest::config_with;

// Pictures given to build; a row with these runs build instead of check.
struct BuildInputs {
    Bytes icon;    // --icon a.ico when not empty
    Bytes splash;  // --splash s.bmp when not empty
    Bytes splash_2x = {};  // --splash-2x s2.png when not empty
    bool console = false;  // the launcher is a console program (tiny-console.exe)
};

// A w x h RGBA picture, every pixel opaque grey, or fully transparent.
Bytes png(std::uint32_t width, std::uint32_t height, std::uint16_t alpha = 255) {
    qdtest::PngPicture picture{width, height, 6, 8, false, {}};
    for (std::uint32_t i = 0; i < width * height; ++i) picture.samples.insert(picture.samples.end(), {128, 128, 128, alpha});
    return qdtest::make_png_file(picture);
}

struct RuleCase {
    const char* name;
    std::string text;  // the whole configuration file
    int code;          // expected exit code
    std::string expect;  // substring of stderr; empty: stderr must be empty
    int lines = -1;      // when not negative: the number of lines on stderr
    std::optional<BuildInputs> build = std::nullopt;
};

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// The text as UTF-16 code units, with or without a byte order mark.
std::string utf16(const std::string& ascii, bool big_endian, bool mark) {
    std::string out;
    if (mark) out += big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += big_endian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return out;
}

const std::string kNoVersionKeys = "MSG_STARTUP_ERROR = x\nCFG_JAR = app.jar\nCFG_WORK_DIR = .\n";

std::vector<RuleCase> rule_cases() {
    return {
        // Names, syntax, duplicates.
        {"unknown name", config_with("CFG_RUNTIMEDIR = jre\n"), 1, "t.qdcfg:2: unknown name CFG_RUNTIMEDIR (did you mean CFG_RUNTIME_DIR?)"},
        {"unknown name without prefix", config_with("MAIN_CLASS = app.Main\n"), 1, "t.qdcfg:2: unknown name MAIN_CLASS (did you mean CFG_MAIN_CLASS?)"},
        {"unknown name like no other", config_with("COLOUR = red\n"), 1, "t.qdcfg:2: unknown name COLOUR (the names are listed in docs/qdstamp.md)"},
        {"known name", config_with("CFG_RUNTIME_DIR = jre\n"), 0, ""},
        {"lower-case name", config_with("cfg_jar = app.jar\n"), 1, "t.qdcfg:2: unknown name cfg_jar (names are upper case: CFG_JAR)"},
        {"no equals sign", config_with("CFG_JAR app.jar\n"), 1, "t.qdcfg:2: expected NAME = value"},
        {"duplicate", config_with("CFG_JAR = a.jar\nCFG_JAR = b.jar\n"), 1, "t.qdcfg:3: CFG_JAR is given twice (first on line 2)"},
        {"comments and blanks", "# comment\n\n   # indented comment\n" + config_with("  CFG_JAR\t=\tapp.jar  \r\n"), 0, ""},
        {"invalid UTF-8", config_with("CFG_ERROR_TITLE = caf\xC3\n"), 1, "t.qdcfg:2: invalid UTF-8"},
        {"overlong UTF-8", config_with("CFG_ERROR_TITLE = \xC0\xAF\n"), 1, "t.qdcfg:2: invalid UTF-8"},
        {"valid UTF-8 and BOM", "\xEF\xBB\xBF" + config_with("CFG_ERROR_TITLE = caf\xC3\xA9 \xF0\x9F\x98\x80\n"), 0, ""},
        {"UTF-16 with a byte order mark", utf16(config_with(""), false, true), 1,
         "error: t.qdcfg: the file is UTF-16 little-endian (it starts with a byte order mark); save it as UTF-8", 1},
        {"UTF-16 big-endian without a mark", utf16(config_with(""), true, false), 1,
         "error: t.qdcfg: the file is UTF-16 big-endian; save it as UTF-8", 1},

        // Values are literal; <U+XXXX> is the one escape.
        {"Windows paths as typed", config_with("CFG_JVM_OPTIONS = -Djava.library.path=lib\\native -Dlog=C:\\temp\\new\n"), 0, ""},
        {"trailing backslash", config_with("CFG_WORK_DIR = data\\\n"), 0, ""},
        {"UNC path", config_with("CFG_RUNTIME_DIR = \\\\server\\share\\jre\n"), 0, ""},
        {"code point escapes",
         config_with("CFG_ERROR_TITLE = <U+0020>My App <U+1F600><U+0020>\nMSG_LAUNCHER_ERROR = Line one<U+000A>Line two\n"), 0, ""},
        {"the text <U+ itself", config_with("CFG_APP_ARGS = <U+003C>U+0041>\n"), 0, ""},
        {"short <U+ escape", config_with("CFG_APP_ARGS = <U+41>\n"), 1, "t.qdcfg:2: CFG_APP_ARGS: \"<U+\" begins an escape"},
        {"escape beyond Unicode", config_with("CFG_ERROR_TITLE = <U+110000>\n"), 1, "CFG_ERROR_TITLE: <U+110000> is beyond the last Unicode code point"},
        {"zero character", config_with("CFG_APP_ARGS = a<U+0000>b\n"), 1, "t.qdcfg:2: CFG_APP_ARGS: a zero character"},

        // Values written for the earlier escaped format.
        {"doubled backslash", config_with("CFG_JAR = lib\\\\app.jar\n"), 1,
         "t.qdcfg:2: CFG_JAR: 2 backslashes in a row: backslashes are literal, so \\\\ is two of them"},
        {"doubled backslash meant", config_with("CFG_JVM_OPTIONS = -Dre=a\\<U+005C>d\n"), 0, ""},
        {"doubled backslash before a closing quote", config_with("CFG_APP_ARGS = --out \"C:\\My Dir\\\\\" -v\n"), 0, ""},
        {"one backslash before a closing quote", config_with("CFG_APP_ARGS = --out \"C:\\My Dir\\\" -v\n"), 0,
         "warning: t.qdcfg:2: CFG_APP_ARGS: the quote at character 18 follows a single backslash, so Java takes it as part "
         "of the argument"},
        {"items joined by \\t", config_with("CFG_ENV_VARS = A=1\\tB=2\n"), 1,
         "t.qdcfg:2: CFG_ENV_VARS: \\t before NAME= looks like two items joined the old way"},
        {"folder after \\t in an item", config_with("CFG_ENV_VARS = TOOLS=%EXEDIR%\\tools\n"), 0, ""},
        {"\\s at the start", config_with("CFG_ERROR_TITLE = \\sMy App\n"), 0,
         "warning: t.qdcfg:2: CFG_ERROR_TITLE: \\s is a backslash and an s (backslashes are literal); for a blank at either end write <U+0020>"},
        {"\\n in a message", config_with("MSG_LAUNCHER_ERROR = Failed.\\nTry again.\n"), 0,
         "warning: t.qdcfg:2: MSG_LAUNCHER_ERROR: \\n is a backslash and a letter (backslashes are literal); for a line break write <U+000A>"},
        {"\\uXXXX", config_with("CFG_APP_ARGS = caf\\u00e9\n"), 0, "warning: t.qdcfg:2: CFG_APP_ARGS: \\u00e9 is literal text"},

        // What breaks the child's command line.
        {"control character in options", config_with("CFG_JVM_OPTIONS = -Da=1<U+0009>-Db=2\n"), 1,
         "t.qdcfg:2: CFG_JVM_OPTIONS: contains the control character U+0009 (character 6), which the child's command line cannot carry"},
        {"TAB typed in a path", config_with("CFG_WORK_DIR = da\tta\n"), 1,
         "t.qdcfg:2: CFG_WORK_DIR: contains the control character U+0009 (character 3), which a file name cannot hold"},
        {"quoted jar", config_with("CFG_JAR = \"my app.jar\"\n"), 1,
         "t.qdcfg:2: CFG_JAR: contains a double quote, but the launcher puts this text in quotes itself"},
        {"quotes in the classpath", config_with("CFG_MAIN_CLASS = app.Main\nCFG_CLASSPATH = \"lib\\*\"\n"), 1,
         "t.qdcfg:3: CFG_CLASSPATH: contains a double quote"},
        {"quotes in options", config_with("CFG_JVM_OPTIONS = -Dtitle=\"My App\"\n"), 0, ""},

        // Something to start.
        {"nothing to start", config_with("CFG_JAR_IN_EXE = false\n"), 1,
         "error: t.qdcfg: nothing to start: give CFG_MAIN_CLASS with CFG_CLASSPATH, CFG_JAR, or CFG_JAR_IN_EXE = true"},
        {"empty jar", config_with("CFG_JAR =\n"), 1, "t.qdcfg:2: CFG_JAR is empty: give CFG_MAIN_CLASS"},
        {"jar in the executable", config_with("CFG_JAR_IN_EXE = true\n"), 0, ""},

        // Capacities (code units including the terminating zero).
        {"text at capacity", config_with("CFG_MAIN_CLASS = " + repeat("a", 127) + "\nCFG_CLASSPATH = x\n"), 0, ""},
        {"text over capacity", config_with("CFG_MAIN_CLASS = " + repeat("a", 128) + "\nCFG_CLASSPATH = x\n"), 1,
         "t.qdcfg:2: CFG_MAIN_CLASS: the value is 128 UTF-16 code units long; at most 127 fit"},
        {"non-BMP at capacity", config_with("CFG_ERROR_TITLE = " + repeat("\xF0\x9F\x98\x80", 63) + "a\n"), 0, ""},
        {"non-BMP over capacity", config_with("CFG_ERROR_TITLE = " + repeat("\xF0\x9F\x98\x80", 64) + "\n"), 1,
         "CFG_ERROR_TITLE: the value is 128 UTF-16 code units long"},
        {"integer record capacity", config_with("CFG_SPLASH = false\nCFG_SPLASH_TIMEOUT = 0000000001\n"), 1,
         "t.qdcfg:3: CFG_SPLASH_TIMEOUT: the value is 10 UTF-16 code units long; at most 9 fit"},
        {"startup message over capacity", "MSG_STARTUP_ERROR = " + repeat("x", 1024) + "\n", 1, "t.qdcfg:1: MSG_STARTUP_ERROR: the value is 1024"},
        {"env vars over capacity", config_with("CFG_ENV_VARS = A=" + repeat("x", 32765) + "\n"), 1, "CFG_ENV_VARS: the value is 32767"},

        // Booleans.
        {"boolean true", config_with("CFG_WAIT = true\n"), 0, ""},
        {"boolean false", config_with("CFG_WAIT = false\n"), 0, ""},
        {"boolean capitalised", config_with("CFG_WAIT = True\n"), 1, "t.qdcfg:2: CFG_WAIT: must be true or false, not \"True\""},
        {"boolean yes", config_with("CFG_PRIVATE_LAUNCHER = yes\n"), 1, "CFG_PRIVATE_LAUNCHER: must be true or false"},
        {"boolean empty", config_with("CFG_JAR_IN_EXE =\n"), 1, "CFG_JAR_IN_EXE: must be true or false, not \"\""},

        // Integers.
        {"integer", config_with("CFG_PRIORITY = 32\n"), 0, ""},
        {"integer minimum", config_with("CFG_INITIAL_HEAP_MB = -2147483648\n"), 0, "warning: "},
        {"integer maximum", config_with("CFG_MAX_HEAP_MB = 2147483647\n"), 0, ""},
        {"integer too large", config_with("CFG_MAX_HEAP_MB = 2147483648\n"), 1, "t.qdcfg:2: CFG_MAX_HEAP_MB: must be a decimal number in signed 32-bit range"},
        {"integer too small", config_with("CFG_MAX_HEAP_MB = -2147483649\n"), 1, "CFG_MAX_HEAP_MB: must be a decimal number"},
        {"integer with plus", config_with("CFG_PRIORITY = +32\n"), 1, "CFG_PRIORITY: must be a decimal number"},
        {"integer hex", config_with("CFG_PRIORITY = 0x20\n"), 1, "CFG_PRIORITY: must be a decimal number"},
        {"integer fraction", config_with("CFG_MIN_HEAP_MB = 1.5\n"), 1, "CFG_MIN_HEAP_MB: must be a decimal number"},
        {"integer empty", config_with("CFG_SEARCH_ORDER =\n"), 1, "CFG_SEARCH_ORDER: must be a decimal number"},

        // Splash timeout range.
        {"timeout lowest", config_with("CFG_SPLASH = false\nCFG_SPLASH_TIMEOUT = 1\n"), 0, "warning: "},
        {"timeout highest", config_with("CFG_SPLASH = false\nCFG_SPLASH_TIMEOUT = 900\n"), 0, "warning: "},
        {"timeout zero", config_with("CFG_SPLASH_TIMEOUT = 0\n"), 1, "t.qdcfg:2: CFG_SPLASH_TIMEOUT must be between 1 and 900 seconds, not 0"},
        {"timeout too long", config_with("CFG_SPLASH_TIMEOUT = 901\n"), 1, "CFG_SPLASH_TIMEOUT must be between 1 and 900"},

        // Required and dependent records.
        {"startup message missing", "CFG_JAR = app.jar\n", 1, "t.qdcfg: MSG_STARTUP_ERROR is required"},
        {"startup message empty", "MSG_STARTUP_ERROR =\nCFG_JAR = a.jar\nCFG_WORK_DIR = .\nFILE_VERSION = 1.0.0.0\n", 0,
         "warning: t.qdcfg:1: MSG_STARTUP_ERROR is empty"},
        {"main class without classpath", config_with("CFG_MAIN_CLASS = app.Main\n"), 1, "t.qdcfg:2: CFG_MAIN_CLASS needs CFG_CLASSPATH"},
        {"main class with classpath", config_with("CFG_MAIN_CLASS = app.Main\nCFG_CLASSPATH = lib\\*\n"), 0, ""},
        {"empty main class", config_with("CFG_MAIN_CLASS =\nCFG_CLASSPATH = lib\n"), 1,
         "t.qdcfg:2: CFG_MAIN_CLASS is empty: Java would take the next argument for the main class"},
        {"relative classpath without a working folder",
         "MSG_STARTUP_ERROR = x\nCFG_MAIN_CLASS = app.Main\nCFG_CLASSPATH = %EXEDIR%\\lib\\*;lib\\extra.jar;x.jar\nFILE_VERSION = 1.0.0.0\n", 0,
         "warning: t.qdcfg:3: classpath item \"lib\\extra.jar\" (and 1 more) is relative and CFG_WORK_DIR is not given"},
        {"relative jar in the classpath form",
         "MSG_STARTUP_ERROR = x\nCFG_MAIN_CLASS = app.Main\nCFG_CLASSPATH = %EXEDIR%\\lib\nCFG_JAR = app.jar\nFILE_VERSION = 1.0.0.0\n", 0,
         "warning: t.qdcfg:4: classpath item \"app.jar\" is relative"},
        {"absolute classpath without a working folder",
         "MSG_STARTUP_ERROR = x\nCFG_MAIN_CLASS = app.Main\nCFG_CLASSPATH = %EXEDIR%\\lib\\*;C:\\libs\\x.jar\nFILE_VERSION = 1.0.0.0\n", 0, ""},
        {"jar form without a working folder", "MSG_STARTUP_ERROR = x\nCFG_JAR = app.jar\nCFG_CLASSPATH = lib\\*\nFILE_VERSION = 1.0.0.0\n", 0, ""},

        // The module form.
        {"module form", config_with("CFG_MODULE = com.example.app/com.example.app.Main\nCFG_MODULE_PATH = lib;javafx\\*.jar\nCFG_CLASSPATH = %EXEDIR%\\legacy\\*.jar\n"), 0, ""},
        {"module name with a hyphen", config_with("CFG_MODULE = com.example-app\n"), 1,
         "t.qdcfg:2: CFG_MODULE: \"com.example-app\" is not a module name: Java identifiers separated by dots"},
        {"main class with a keyword", config_with("CFG_MODULE = com.example.app/com.example.new.Main\n"), 1,
         "t.qdcfg:2: CFG_MODULE: \"com.example.new.Main\" is not a class name"},
        {"module with the other forms' records", config_with("CFG_MODULE = app\nCFG_JAR = app.jar\nCFG_MAIN_CLASS = app.Main\nCFG_JAR_IN_EXE = false\n"), 1,
         "t.qdcfg:3: CFG_JAR cannot be given with CFG_MODULE: the launcher starts the main module and would ignore it", 3},
        {"module path without a module", config_with("CFG_MODULE_PATH = lib\n"), 0, "warning: t.qdcfg:2: CFG_MODULE_PATH has no effect without CFG_MODULE"},
        {"private launcher without a bundled runtime", config_with("CFG_PRIVATE_LAUNCHER = true\nCFG_MIN_VERSION = 17\n"), 0,
         "warning: t.qdcfg:2: CFG_PRIVATE_LAUNCHER has no effect without CFG_RUNTIME_DIR"},
        {"relative classpath in the module form",
         "MSG_STARTUP_ERROR = x\nCFG_MODULE = app\nCFG_MODULE_PATH = lib\nCFG_CLASSPATH = legacy.jar\nFILE_VERSION = 1.0.0.0\n", 0,
         "warning: t.qdcfg:4: classpath item \"legacy.jar\" is relative", 1},

        // Environment variables.
        {"env vars, one item a line", config_with("CFG_ENV_VARS = A=1\nCFG_ENV_VARS = B=%PATH%;x\nCFG_ENV_VARS = C=\n"), 0, ""},
        {"env item without =", config_with("CFG_ENV_VARS = A=1\nCFG_ENV_VARS = B\n"), 1, "t.qdcfg:3: CFG_ENV_VARS item 2 (\"B\") has no '='"},
        {"env empty item", config_with("CFG_ENV_VARS = A=1\nCFG_ENV_VARS =\n"), 1, "t.qdcfg:3: CFG_ENV_VARS item 2 (\"\") has no '='"},
        {"env empty name", config_with("CFG_ENV_VARS = =x\n"), 1, "CFG_ENV_VARS item 1 (\"=x\") has an empty variable name"},
        {"env unpaired percent", config_with("CFG_ENV_VARS = A=%X%\nCFG_ENV_VARS = B=50%\n"), 0,
         "warning: t.qdcfg:3: CFG_ENV_VARS item 2 (\"B=50%\"): the last '%' has no partner"},

        // % in expanded texts: %NAME%, %% for one sign, a last lone sign kept as it is.
        {"runtime dir reference", config_with("CFG_RUNTIME_DIR = %LOCALAPPDATA%\\jre\n"), 0, ""},
        {"runtime dir unpaired", config_with("CFG_RUNTIME_DIR = %LOCALAPPDATA\\jre\n"), 0,
         "warning: t.qdcfg:2: CFG_RUNTIME_DIR: the last '%' has no partner and is passed on as it is"},
        {"jvm options unpaired", config_with("CFG_JVM_OPTIONS = -Dp=50%\n"), 0, "warning: t.qdcfg:2: CFG_JVM_OPTIONS: the last '%'"},
        {"jvm options literal signs", config_with("CFG_JVM_OPTIONS = -XX:ErrorFile=hs_err_pid%%p.log -Dhome=%EXEDIR% -Dp=50%%\n"), 0, ""},
        {"jvm options pairing across options",
         config_with("CFG_JVM_OPTIONS = -XX:ErrorFile=hs_err_pid%p.log -Dhome=%EXEDIR%\n"), 0,
         "warning: t.qdcfg:2: CFG_JVM_OPTIONS: the '%' signs of \"%p.log -Dhome=%\" pair up across two options"},
        {"env value pairing across options", config_with("CFG_ENV_VARS = JAVA_TOOL_OPTIONS=-Da=5% -Db=%X%\n"), 0,
         "warning: t.qdcfg:2: CFG_ENV_VARS item 1 (\"JAVA_TOOL_OPTIONS=-Da=5% -Db=%X%\"): the '%' signs of \"% -Db=%\" pair up"},
        {"reference with blanks", config_with("CFG_JVM_OPTIONS = -Dv=%HKEY_LOCAL_MACHINE\\SOFTWARE\\Java Runtime Environment\\CurrentVersion%\n"), 0, ""},
        {"classpath unpaired", config_with("CFG_CLASSPATH = %A%;%B\n"), 0, "warning: t.qdcfg:2: CFG_CLASSPATH: the last '%'"},
        {"literal text keeps %", config_with("CFG_APP_ARGS = --ratio 50%\n"), 0, ""},

        // Splash without a launcher to look at.
        {"splash unknown source", config_with("CFG_SPLASH = true\n"), 0, "warning: t.qdcfg:2: CFG_SPLASH = true: build needs --splash"},
        {"splash setting without splash", config_with("CFG_SPLASH_UNTIL_WINDOW = true\n"), 0,
         "warning: t.qdcfg:2: CFG_SPLASH_UNTIL_WINDOW has no effect unless CFG_SPLASH = true"},

        // Warnings for legal but suspicious values.
        {"search order in range", config_with("CFG_SEARCH_ORDER = 3\n"), 0, ""},
        {"search order out of range", config_with("CFG_SEARCH_ORDER = 4\n"), 0, "warning: t.qdcfg:2: CFG_SEARCH_ORDER 4 is not 0..3"},
        {"preferred heap below min", config_with("CFG_MIN_HEAP_MB = 512\nCFG_PREFERRED_HEAP_MB = 256\n"), 0,
         "warning: t.qdcfg:3: CFG_PREFERRED_HEAP_MB is below CFG_MIN_HEAP_MB"},
        {"heap values ordered", config_with("CFG_MIN_HEAP_MB = 256\nCFG_PREFERRED_HEAP_MB = 512\nCFG_MAX_HEAP_MB = 1024\n"), 0, ""},
        {"heap percent", config_with("CFG_INITIAL_HEAP_PERCENT = 150\n"), 0, "warning: t.qdcfg:2: CFG_INITIAL_HEAP_PERCENT is not a percentage"},
        {"absolute work dir", config_with("CFG_WORK_DIR = C:\\data\n"), 0, "warning: t.qdcfg:2: CFG_WORK_DIR looks absolute"},
        {"rooted work dir", config_with("CFG_WORK_DIR = \\data\n"), 0, "CFG_WORK_DIR looks absolute"},
        {"relative work dir", config_with("CFG_WORK_DIR = data\n"), 0, ""},
        {"max below min version", config_with("CFG_MIN_VERSION = 17.0.2\nCFG_MAX_VERSION = 11.0.9\n"), 0,
         "warning: t.qdcfg:3: CFG_MAX_VERSION \"11.0.9\" is below CFG_MIN_VERSION \"17.0.2\""},
        {"max above min version", config_with("CFG_MIN_VERSION = 1.8.0_301\nCFG_MAX_VERSION = 17\n"), 0, ""},
        {"max covering min, as the runtime sources compare",
         config_with("CFG_MIN_VERSION = 17.0.2\nCFG_MAX_VERSION = 17\nCFG_RUNTIME_SOURCES = registry\n"), 0, ""},
        {"1.8 is 8 for the runtime sources", config_with("CFG_MIN_VERSION = 8\nCFG_MAX_VERSION = 1.8\nCFG_RUNTIME_SOURCES = registry\n"), 0, ""},
        {"max below min, as the runtime sources compare",
         config_with("CFG_MIN_VERSION = 17\nCFG_MAX_VERSION = 1.8.0_401\nCFG_RUNTIME_SOURCES = registry\n"), 0,
         "warning: t.qdcfg:3: CFG_MAX_VERSION \"1.8.0_401\" is below CFG_MIN_VERSION \"17\""},
        {"long jvm options", config_with("CFG_JVM_OPTIONS = " + repeat("x", 31001) + "\n"), 0,
         "warning: t.qdcfg:2: CFG_JVM_OPTIONS is 31001 characters"},
        {"jvm options at capacity", config_with("CFG_JVM_OPTIONS = " + repeat("x", 32767) + "\n"), 0, "warning: "},
        {"jvm options over capacity", config_with("CFG_JVM_OPTIONS = " + repeat("x", 32768) + "\n"), 1, "at most 32767 fit"},
        {"version message too long",
         config_with("MSG_RUNTIME_VERSION_ERROR = " + repeat("m", 1000) + "\nCFG_MIN_VERSION = " + repeat("1", 20) + "\n"), 0,
         "warning: t.qdcfg:2: MSG_RUNTIME_VERSION_ERROR plus \" <min> - <max>\" is 1024 characters"},
        {"version message fits", config_with("MSG_RUNTIME_VERSION_ERROR = " + repeat("m", 999) + "\nCFG_MIN_VERSION = " + repeat("1", 20) + "\n"), 0, ""},
        {"two priority classes", config_with("CFG_PRIORITY = 96\n"), 1,
         "error: t.qdcfg:2: CFG_PRIORITY must be one priority class: 64 (idle), 16384 (below normal), 32 (normal), "
         "32768 (above normal), 128 (high), 256 (realtime), or 0 (the system's default); not 96"},
        {"priority suspended", config_with("CFG_PRIORITY = 4\n"), 1, "t.qdcfg:2: CFG_PRIORITY must be one priority class"},
        {"priority with other flags", config_with("CFG_PRIORITY = 36\n"), 1, "CFG_PRIORITY must be one priority class"},
        {"priority negative", config_with("CFG_PRIORITY = -32\n"), 1, "CFG_PRIORITY must be one priority class"},
        {"priority high", config_with("CFG_PRIORITY = 128\n"), 0, ""},
        {"priority default", config_with("CFG_PRIORITY = 0\n"), 0, ""},

        // The restart code: one that no other kind of end gives.
        {"restart code lowest", config_with("CFG_RESTART_EXIT_CODE = 2\n"), 0, ""},
        {"restart code highest", config_with("CFG_RESTART_EXIT_CODE = 255\n"), 0, ""},
        {"restart code zero", config_with("CFG_RESTART_EXIT_CODE = 0\n"), 1,
         "error: t.qdcfg:2: CFG_RESTART_EXIT_CODE 0 is the code of a normal end: every end would restart the "
         "application; choose a code from 2 to 255 (not 130 or 143), or leave the key out for no restart"},
        {"restart code of a failure", config_with("CFG_RESTART_EXIT_CODE = 1\n"), 1,
         "t.qdcfg:2: CFG_RESTART_EXIT_CODE 1 is the code Java ends with when the application fails"},
        {"restart code of Ctrl+C", config_with("CFG_RESTART_EXIT_CODE = 130\n"), 1,
         "t.qdcfg:2: CFG_RESTART_EXIT_CODE 130 is the code Java ends with on Ctrl+C (130)"},
        {"restart code of a closed console", config_with("CFG_RESTART_EXIT_CODE = 143\n"), 1, "CFG_RESTART_EXIT_CODE 143 is the code"},
        {"restart code beyond 255", config_with("CFG_RESTART_EXIT_CODE = 256\n"), 1,
         "t.qdcfg:2: CFG_RESTART_EXIT_CODE 256 is outside 2 to 255, where the system's codes lie"},

        // Java version bounds and runtime sources.
        {"bounds of every form", config_with("CFG_MIN_VERSION = 1.8.0_202\nCFG_MAX_VERSION = 21.0.1+12-LTS\n"), 0, ""},
        {"early-access bound", config_with("CFG_MIN_VERSION = 21-ea\n"), 0, ""},
        {"empty bounds", config_with("CFG_MIN_VERSION =\nCFG_MAX_VERSION =\n"), 0, ""},
        {"bound with words", config_with("CFG_MIN_VERSION = Java 17\n"), 1,
         "t.qdcfg:2: CFG_MIN_VERSION: \"Java 17\" is not a Java version"},
        {"bound with a letter", config_with("CFG_MAX_VERSION = 17.x\n"), 1, "t.qdcfg:2: CFG_MAX_VERSION: \"17.x\" is not a Java version"},
        {"runtime sources", config_with("CFG_MIN_VERSION = 17\nCFG_RUNTIME_SOURCES = registry;java_home\n"), 0, ""},
        {"runtime sources in any case", config_with("CFG_MIN_VERSION = 17\nCFG_RUNTIME_SOURCES = Registry ; PATH;folders\n"), 0, ""},
        {"runtime source unknown", config_with("CFG_MIN_VERSION = 17\nCFG_RUNTIME_SOURCES = registry;jvm\n"), 1,
         "t.qdcfg:3: CFG_RUNTIME_SOURCES: \"jvm\" is not a runtime source"},
        {"runtime source empty item", config_with("CFG_MIN_VERSION = 17\nCFG_RUNTIME_SOURCES = registry;;path\n"), 1,
         "t.qdcfg:3: CFG_RUNTIME_SOURCES: item 2 is empty"},
        {"runtime sources empty", config_with("CFG_MIN_VERSION = 17\nCFG_RUNTIME_SOURCES =\n"), 1, "CFG_RUNTIME_SOURCES: item 1 is empty"},
        {"runtime source twice", config_with("CFG_MIN_VERSION = 17\nCFG_RUNTIME_SOURCES = path;registry;path\n"), 0,
         "warning: t.qdcfg:3: CFG_RUNTIME_SOURCES: \"path\" is listed twice"},
        {"runtime sources without a lower bound", config_with("CFG_RUNTIME_SOURCES = registry\n"), 0,
         "warning: t.qdcfg:2: CFG_RUNTIME_SOURCES has no effect without CFG_MIN_VERSION"},
        {"runtime sources with search order 0",
         config_with("CFG_SEARCH_ORDER = 0\nCFG_MIN_VERSION = 17\nCFG_RUNTIME_SOURCES = registry\n"), 0,
         "warning: t.qdcfg:2: CFG_SEARCH_ORDER 0 with CFG_RUNTIME_SOURCES searches only runtime (JRE) keys"},
        {"search order 0 without runtime sources", config_with("CFG_SEARCH_ORDER = 0\nCFG_MIN_VERSION = 17\n"), 0, ""},
        {"early-access maximum below a release minimum",
         config_with("CFG_MIN_VERSION = 21\nCFG_MAX_VERSION = 21-ea\nCFG_RUNTIME_SOURCES = registry\n"), 0,
         "warning: t.qdcfg:3: CFG_MAX_VERSION \"21-ea\" is below CFG_MIN_VERSION \"21\": an early-access bound admits "
         "early-access builds only"},
        {"early-access bounds", config_with("CFG_MIN_VERSION = 21-ea\nCFG_MAX_VERSION = 21-ea\nCFG_RUNTIME_SOURCES = registry\n"),
         0, ""},
        {"LTS and build tails mark no early access",
         config_with("CFG_MIN_VERSION = 17.0.10\nCFG_MAX_VERSION = 17.0.10-LTS\nCFG_RUNTIME_SOURCES = registry\n"), 0, ""},
        {"early-access maximum without runtime sources", config_with("CFG_MIN_VERSION = 21\nCFG_MAX_VERSION = 21-ea\n"), 0, ""},
        {"runtime machines", config_with("CFG_RUNTIME_MACHINES = ARM64 ; x64\n"), 0, ""},
        {"runtime machine unknown", config_with("CFG_RUNTIME_MACHINES = arm64;x86\n"), 1,
         "error: t.qdcfg:2: CFG_RUNTIME_MACHINES: \"x86\" is not a machine (write x64, or arm64;x64 for ARM64 runtimes first)"},
        {"runtime machines empty", config_with("CFG_RUNTIME_MACHINES =\n"), 1, "CFG_RUNTIME_MACHINES: an item is empty"},
        {"runtime machine twice", config_with("CFG_RUNTIME_MACHINES = x64;arm64;X64\n"), 1,
         "error: t.qdcfg:2: CFG_RUNTIME_MACHINES: \"X64\" is given twice"},
        {"runtime machines without x64", config_with("CFG_RUNTIME_MACHINES = arm64\n"), 0,
         "warning: t.qdcfg:2: CFG_RUNTIME_MACHINES: x64 is not listed, but the launcher always accepts x64 runtimes"},

        // The starter configuration's placeholders: check warns, build refuses.
        {"placeholder", config_with("CFG_MAIN_CLASS = <fill in: your main class>\nCFG_CLASSPATH = lib\\*\n"), 0,
         "warning: t.qdcfg:2: CFG_MAIN_CLASS is still the placeholder \"<fill in: your main class>\": write your own value "
         "(build refuses it)", 1},
        {"placeholder in build", config_with("CFG_SUPPORT_CONTACT = <fill in: your support address>\n"), 1,
         "error: t.qdcfg:2: CFG_SUPPORT_CONTACT is still the placeholder \"<fill in: your support address>\": write your "
         "own value", 1, BuildInputs{}},
        {"placeholder in a version key in build", config_with("FILE_VERSION = <fill in: a.b.c.d>\n"), 1,
         "error: t.qdcfg:2: FILE_VERSION is still the placeholder", 1, BuildInputs{}},
        {"support addresses", config_with("CFG_REQUIREMENTS_URL = https://example.com/req\nCFG_SUPPORT_CONTACT = help@example.com\n"), 0, ""},
        // The application's taskbar identity.
        {"app ID", config_with("CFG_APP_USER_MODEL_ID = ExampleLtd.MyApp.Viewer.2\n"), 0, ""},
        {"app ID with a blank", config_with("CFG_APP_USER_MODEL_ID = Example Ltd.MyApp\n"), 1,
         "error: t.qdcfg:2: CFG_APP_USER_MODEL_ID: contains the blank U+0020 (character 8); an AppUserModelID holds no "
         "blanks and no control characters", 1},
        {"app ID empty", config_with("CFG_APP_USER_MODEL_ID =\n"), 0, "warning: t.qdcfg:2: CFG_APP_USER_MODEL_ID is empty, which counts as absent"},
        {"app ID of one part", config_with("CFG_APP_USER_MODEL_ID = MyApp\n"), 0,
         "warning: t.qdcfg:2: CFG_APP_USER_MODEL_ID: \"MyApp\" is not in the form Windows recommends", 1},
        {"app ID in a console launcher", config_with("CFG_APP_USER_MODEL_ID = ExampleLtd.MyTool\n"), 0,
         "warning: t.qdcfg:2: CFG_APP_USER_MODEL_ID is ignored by the console launcher", 1, BuildInputs{{}, {}, {}, true}},
        {"support contact over capacity", config_with("CFG_SUPPORT_CONTACT = " + repeat("c", 256) + "\n"), 1,
         "t.qdcfg:2: CFG_SUPPORT_CONTACT: the value is 256 UTF-16 code units long; at most 255 fit"},

        // Version keys.
        {"version keys", config_with("PRODUCT_NAME = App\nFILE_VERSION = 1.2.3.4\nPRODUCT_VERSION = 1.2.0.0\n"), 0, ""},
        {"version keys without FILE_VERSION", config_with("PRODUCT_NAME = App\n"), 1,
         "t.qdcfg:2: version keys rewrite the whole version resource, which needs FILE_VERSION"},
        {"three-part version", config_with("FILE_VERSION = 1.2.3\n"), 1, "t.qdcfg:2: FILE_VERSION must be four numbers a.b.c.d"},
        {"version part too large", config_with("FILE_VERSION = 1.2.3.65536\n"), 1, "FILE_VERSION must be four numbers"},
        {"product version text", config_with("FILE_VERSION = 1.0.0.0\nPRODUCT_VERSION = 1.0-beta\n"), 1, "t.qdcfg:3: PRODUCT_VERSION must be four numbers"},
        {"version string too long", config_with("FILE_VERSION = 1.0.0.0\nCOMPANY_NAME = " + repeat("c", 256) + "\n"), 1,
         "t.qdcfg:3: COMPANY_NAME: at most 255 characters fit"},
        {"no version keys", kNoVersionKeys, 0,
         "warning: t.qdcfg: no version keys: Explorer and Task Manager will show the launcher's own description and "
         "product name (\"Java application launcher\", \"qdlauncher\" for the record-free qdlauncher)", 1},
        {"no version keys in build", kNoVersionKeys, 0,
         "warning: t.qdcfg: no version keys: Explorer and Task Manager will show the launcher's own description (none) "
         "and product name \"resprobe\"", 1, BuildInputs{}},

        // The pictures given to build.
        {"PNG given as icon", config_with(""), 1, "error: a.ico: this is a PNG file, not an icon file (.ico); convert it", -1,
         BuildInputs{qdtest::make_png(32, 32), {}}},
        {"JPEG given as splash", config_with("CFG_SPLASH = true\n"), 1,
         "error: s.bmp: this is a JPEG file, but the splash picture must be a PNG or BMP file", -1,
         BuildInputs{{}, Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0}}},
        {"PNG splash wider than 1920, not decoded", config_with("CFG_SPLASH = true\n"), 1,
         "error: s.bmp: the splash picture is 1921x1 pixels and 7808 bytes; at most 1920x1200 pixels and 8 MiB", 1,
         BuildInputs{{}, png(1921, 1)}},
        {"2x picture wider than 3840", config_with("CFG_SPLASH = true\n"), 1,
         "error: s2.png: the 2x splash picture is 3841x1 pixels and 15488 bytes; at most 3840x2400 pixels and 32 MiB", -1,
         BuildInputs{{}, png(1921, 1), png(3841, 1)}},
        {"2x picture not twice the size", config_with("CFG_SPLASH = true\n"), 0,
         "warning: s2.png: the 2x splash picture is 40x40 pixels, not twice the splash picture's 30x20", 1,
         BuildInputs{{}, png(30, 20), png(40, 40)}},
        {"fully transparent PNG splash", config_with("CFG_SPLASH = true\n"), 1,
         "error: s.bmp: every pixel of the picture is fully transparent", 1, BuildInputs{{}, png(4, 4, 0)}},
        {"splash wider than 1920", config_with("CFG_SPLASH = true\n"), 1,
         "error: s.bmp: the splash picture is 2000x600 pixels and 1201064 bytes; at most 1920x1200 pixels and 8 MiB", -1,
         BuildInputs{{}, qdtest::make_bmp(2000, 600, 8)}},
        {"splash over 8 MiB", config_with("CFG_SPLASH = true\n"), 1,
         "error: s.bmp: the splash picture is 1920x1200 pixels and 9216040 bytes", -1, BuildInputs{{}, qdtest::make_bmp(1920, 1200, 32)}},
        {"splash larger than 1024x768", config_with("CFG_SPLASH = true\n"), 0,
         "warning: s.bmp: the splash picture is 1280x800 pixels, larger than 1024x768", 1, BuildInputs{{}, qdtest::make_bmp(1280, 800, 8)}},
        {"splash of a usual size", config_with("CFG_SPLASH = true\n"), 0, "", -1, BuildInputs{{}, qdtest::make_bmp(1024, 768, 8)}},
        {"--splash without CFG_SPLASH", config_with(""), 0,
         "warning: t.qdcfg: --splash is given but CFG_SPLASH is not true: the picture is stored in the launcher and never shown", 1,
         BuildInputs{{}, qdtest::make_bmp(64, 40, 8)}},

        // The console launcher (told apart by its PE subsystem) has no windows.
        {"window settings in a console launcher",
         config_with("CFG_SPLASH = true\nCFG_SPLASH_TIMEOUT = 30\nCFG_WAIT = true\nCFG_INSTANCE_TITLE = Tool\n"), 0,
         "warning: t.qdcfg:2: CFG_SPLASH is ignored by the console launcher, which shows no splash screen", 5,
         BuildInputs{{}, qdtest::make_bmp(64, 40, 8), {}, true}},
        {"switched-off window settings in a console launcher", config_with("CFG_SPLASH = false\nCFG_WAIT = false\n"), 0,
         "", -1, BuildInputs{{}, {}, {}, true}},
        {"forwarded starts in a console launcher", config_with("CFG_MUTEX = Tool\nCFG_FORWARD_ARGUMENTS = true\n"), 0,
         "warning: t.qdcfg:3: CFG_FORWARD_ARGUMENTS is ignored by the console launcher, which hands no start to a "
         "running instance", 1, BuildInputs{{}, {}, {}, true}},

        // Forwarded starts need a running instance to go to.
        {"forwarded starts without a mutex", config_with("CFG_FORWARD_ARGUMENTS = true\n"), 0,
         "warning: t.qdcfg:2: CFG_FORWARD_ARGUMENTS has no effect without CFG_MUTEX", 1},
        {"forwarded starts with an empty mutex", config_with("CFG_MUTEX =\nCFG_FORWARD_ARGUMENTS = true\n"), 0,
         "warning: t.qdcfg:3: CFG_FORWARD_ARGUMENTS has no effect without CFG_MUTEX", 1},
        {"mutex in the global namespace", config_with("CFG_MUTEX = Global\\Example.Tool\n"), 0, ""},
        {"mutex with a backslash in its name", config_with("CFG_MUTEX = Local\\Example\\Tool\n"), 1,
         "error: t.qdcfg:2: CFG_MUTEX: contains a backslash at character 14, which a mutex name may hold only after "
         "Global\\ or Local\\", 1},
        {"mutex with a prefix in lower case", config_with("CFG_MUTEX = global\\Tool\n"), 1,
         "error: t.qdcfg:2: CFG_MUTEX: contains a backslash at character 7", 1},
        {"forwarded starts with a mutex", config_with("CFG_MUTEX = Tool\nCFG_FORWARD_ARGUMENTS = true\n"), 0, ""},
        {"forwarding switched off without a mutex", config_with("CFG_FORWARD_ARGUMENTS = false\n"), 0, ""},
        {"forwarding not a boolean", config_with("CFG_MUTEX = Tool\nCFG_FORWARD_ARGUMENTS = yes\n"), 1,
         "t.qdcfg:3: CFG_FORWARD_ARGUMENTS: must be true or false, not \"yes\""},
    };
}

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

// Messages carry full paths; the cases are written against the bare names.
std::string relative(std::string err, const std::string& dir) {
    for (std::size_t at; (at = err.find(dir)) != std::string::npos;) err.erase(at, dir.size());
    return err;
}

class ConfigRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ConfigRules, Check) {
    const RuleCase& c = GetParam();
    qdtest::Scratch scratch;
    std::string path = scratch.write("t.qdcfg", c.text);
    std::vector<std::string> args = {"check", path};
    if (c.build) {
        const std::string tiny = qdtest::fixture(c.build->console ? "tiny-console.exe" : "tiny.exe");
        if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
        args = {"build", "--launcher", tiny, "--config", path, "--out", scratch.path("out.exe")};
        if (!c.build->icon.empty()) args.insert(args.end(), {"--icon", scratch.write("a.ico", c.build->icon)});
        if (!c.build->splash.empty()) args.insert(args.end(), {"--splash", scratch.write("s.bmp", c.build->splash)});
        if (!c.build->splash_2x.empty()) args.insert(args.end(), {"--splash-2x", scratch.write("s2.png", c.build->splash_2x)});
    }
    std::string err;
    int code = qdtest::run(args, nullptr, &err);
    EXPECT_EQ(code, c.code) << err;
    const std::string dir = scratch.path("");
    if (c.expect.empty()) EXPECT_EQ(err, "");
    else EXPECT_NE(relative(err, dir).find(c.expect), std::string::npos) << "stderr was:\n" << err;
    // Every message names a file of the run and starts with error: or warning:.
    int lines = 0;
    std::size_t start = 0;
    while (start < err.size()) {
        std::size_t end = err.find('\n', start);
        std::string line = err.substr(start, end - start);
        EXPECT_TRUE(line.rfind("error: " + dir, 0) == 0 || line.rfind("warning: " + dir, 0) == 0) << line;
        start = end + 1;
        ++lines;
    }
    if (c.lines >= 0) EXPECT_EQ(lines, c.lines) << err;
}

INSTANTIATE_TEST_SUITE_P(All, ConfigRules, ::testing::ValuesIn(rule_cases()),
                         [](const ::testing::TestParamInfo<RuleCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// Printed in line order, errors and warnings together, then what concerns the
// file as a whole; the checks find them in another order.
TEST(ConfigRulesReport, EveryProblemOfAFileIsReportedInOneRunInLineOrder) {
    qdtest::Scratch scratch;
    std::string path = scratch.write("t.qdcfg", "CFG_SEARCH_ORDER = 4\nCFG_WAIT = maybe\nCFG_BOGUS = 1\nCFG_SPLASH_TIMEOUT = 0\n");
    std::string err;
    EXPECT_EQ(qdtest::run({"check", path}, nullptr, &err), 1);
    err = relative(err, scratch.path(""));
    std::size_t previous = 0;
    for (const char* expected : {"warning: t.qdcfg:1: CFG_SEARCH_ORDER", "error: t.qdcfg:2: CFG_WAIT", "t.qdcfg:3: unknown name",
                                 "t.qdcfg:4: CFG_SPLASH_TIMEOUT", "t.qdcfg: MSG_STARTUP_ERROR is required"}) {
        const std::size_t at = err.find(expected, previous);
        EXPECT_NE(at, std::string::npos) << expected << "\n" << err;
        if (at != std::string::npos) previous = at;
    }
}

TEST(ConfigRulesReport, UnreadableFileIsAnError) {
    qdtest::Scratch scratch;
    std::string err;
    EXPECT_EQ(qdtest::run({"check", scratch.path("missing.qdcfg")}, nullptr, &err), 1);
    EXPECT_NE(err.find("error: " + scratch.path("missing.qdcfg") + ": cannot open for reading"), std::string::npos) << err;
}

}  // namespace
