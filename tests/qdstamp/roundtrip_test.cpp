// build -> show -> build reproduces the same records and the same file, and
// value escapes survive the trip for any UTF-16 text.
#include <gtest/gtest.h>

#include "config_file.h"
#include "pe_image.h"
#include "records.h"
#include "resource_tree.h"
#include "test_support.h"
#include "value_escape.h"

namespace {

using qdstamp::Bytes;

// Every record the launcher reads, with values that stress the escapes.
const char kRichConfig[] =
    "# every record\n"
    "CFG_RUNTIME_DIR = %LOCALAPPDATA%\\\\MyApp\\\\jre\n"
    "CFG_MIN_VERSION = 17.0.2\n"
    "CFG_MAX_VERSION =\n"
    "CFG_SPLASH = false\n"
    "CFG_SPLASH_UNTIL_WINDOW = false\n"
    "CFG_SPLASH_TIMEOUT = 60\n"
    "CFG_SPLASH_TIMEOUT_ERROR = true\n"
    "CFG_WORK_DIR = data\n"
    "CFG_PRIVATE_LAUNCHER = true\n"
    "CFG_ERROR_TITLE = \\s\\sMy App \xE2\x80\x94 \xF0\x9F\x9A\x80\\s\n"
    "CFG_WAIT = false\n"
    "CFG_JVM_OPTIONS = -Xss2m -Dpath=\"%APPDATA%\\\\x y\" -Dsep=\\\\\n"
    "CFG_APP_ARGS = --mode=50%\\t--line\\nnext\\r\\u0001\\u007F\\uD800 end\n"
    "CFG_JAR = lib\\\\app.jar\n"
    "CFG_MAIN_CLASS = com.example.Main\n"
    "CFG_CLASSPATH = lib\\\\*;%EXTRA%\n"
    "CFG_JAR_IN_EXE = false\n"
    "CFG_SEARCH_ORDER = 2\n"
    "CFG_ENV_VARS = A=1\\tPATH=%PATH%;bin\\tEMPTY=\n"
    "CFG_PRIORITY = 32\n"
    "CFG_DOWNLOAD_URL = https://example.com/java?x=1&y=2#frag\n"
    "CFG_HELP_URL = https://example.com/help\n"
    "CFG_MUTEX = Global\\\\MyAppMutex\n"
    "CFG_INSTANCE_TITLE = My App\n"
    "CFG_INITIAL_HEAP_MB = 64\n"
    "CFG_INITIAL_HEAP_PERCENT = 10\n"
    "CFG_MAX_HEAP_MB = 1024\n"
    "CFG_PREFERRED_HEAP_MB = 512\n"
    "CFG_MIN_HEAP_MB = 256\n"
    "CFG_RUNTIME_SOURCES = registry;java_home;path;folders\n"
    "MSG_STARTUP_ERROR = L'application n'a pas pu d\xC3\xA9marrer.\n"
    "MSG_RUNTIME_DIR_ERROR = No Java runtime in %s\n"
    "MSG_RUNTIME_VERSION_ERROR = Needs Java\n"
    "MSG_LAUNCHER_ERROR = Launcher error:\\n\n"
    "PRODUCT_NAME = My App\n"
    "COMPANY_NAME = Example \xC2\xA9 Ltd\n"
    "FILE_DESCRIPTION = My App launcher\n"
    "FILE_VERSION = 2.5.0.17\n"
    "PRODUCT_VERSION = 2.5.0.0\n"
    "COPYRIGHT = (c) 2024\n"
    "COMMENTS = \\sspaced\\s\n";

struct Built {
    Bytes file;
    std::string shown;
};

Built build_and_show(const std::string& launcher, const std::string& config, std::vector<std::string> extra = {}) {
    qdtest::Scratch scratch;
    std::vector<std::string> args = {"build", "--launcher", launcher, "--config", scratch.write("a.qdcfg", config), "--out",
                                     scratch.path("out.exe")};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string err;
    EXPECT_EQ(qdtest::run(args, nullptr, &err), 0) << err;
    Built b;
    b.file = qdtest::read(scratch.path("out.exe"));
    EXPECT_EQ(qdtest::run({"show", scratch.path("out.exe")}, &b.shown, &err), 0) << err;
    return b;
}

std::vector<qdstamp::Resource> records_of(const Bytes& file) {
    std::vector<qdstamp::Resource> out;
    for (auto& r : qdstamp::read_resources(file, qdstamp::parse_pe(file)))
        if (r.type.is(qdstamp::kRtRcData)) out.push_back(r);
    return out;
}

TEST(RoundTrip, BuildShowBuildGivesIdenticalRecordsAndFile) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    const Built first = build_and_show(tiny, kRichConfig);
    const Built second = build_and_show(tiny, first.shown);
    EXPECT_EQ(first.shown, second.shown);
    EXPECT_EQ(first.file, second.file);

    std::size_t count = 0;
    qdstamp::record_table(&count);
    const auto records = records_of(first.file);
    EXPECT_EQ(records.size(), count);
    for (const auto& r : records) EXPECT_EQ(r.language, 0x0400);
}

TEST(RoundTrip, RecordDataIsUtf16WithOneZeroUnit) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    const Built b = build_and_show(tiny, "MSG_STARTUP_ERROR = jvm\nCFG_MAX_VERSION =\nCFG_ERROR_TITLE = \xF0\x9F\x98\x80\\s\n");
    std::map<int, Bytes> by_id;
    for (const auto& r : records_of(b.file)) by_id[r.name.id] = r.data;
    EXPECT_EQ(by_id[101], (Bytes{'j', 0, 'v', 0, 'm', 0, 0, 0}));
    EXPECT_EQ(by_id[3], (Bytes{0, 0}));  // present and empty
    EXPECT_EQ(by_id[10], (Bytes{0x3D, 0xD8, 0x00, 0xDE, ' ', 0, 0, 0}));
    EXPECT_EQ(by_id.count(2), 0u);  // absent stays absent
}

TEST(RoundTrip, RestampingWithItsOwnShowOutputReproducesTheFile) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    qdtest::Scratch scratch;
    std::string config = std::string(kRichConfig);
    config.replace(config.find("CFG_SPLASH = false"), 18, "CFG_SPLASH = true");
    const Built first = build_and_show(tiny, config,
                                       {"--icon", scratch.write("a.ico", qdtest::make_ico({{32, 32}})), "--splash",
                                        scratch.write("s.bmp", qdtest::make_bmp(64, 40, 8))});
    EXPECT_NE(first.shown.find("# Icon: group 1 with 1 image(s)"), std::string::npos) << first.shown;
    EXPECT_NE(first.shown.find("# Splash bitmap: 64x40, 8 bits per pixel"), std::string::npos) << first.shown;
    // The stamped file as launcher: icon and splash come along, records and
    // version resource are rewritten from the shown text.
    const std::string first_path = scratch.write("first.exe", first.file);
    const Built second = build_and_show(first_path, first.shown);
    EXPECT_EQ(second.file, first.file);
}

TEST(RoundTrip, ForeignVersionResourceIsShownAsCommentsAndKept) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    const Built first = build_and_show(tiny, qdtest::config_with(""));
    EXPECT_NE(first.shown.find("# The version resource was not written by qdstamp"), std::string::npos) << first.shown;
    EXPECT_NE(first.shown.find("#   ProductName: resprobe"), std::string::npos) << first.shown;
    const Built second = build_and_show(tiny, first.shown);
    EXPECT_EQ(first.file, second.file);
}

TEST(RoundTrip, ShowReportsRecordsTheLauncherDoesNotRead) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    std::string out, err;
    EXPECT_EQ(qdtest::run({"show", tiny}, &out, &err), 0);
    EXPECT_NE(out.find("CFG_RUNTIME_DIR = runtime\n"), std::string::npos) << out;
    EXPECT_NE(out.find("# RT_RCDATA 28 language 0x400 (not read by the launcher): never read"), std::string::npos) << out;
    EXPECT_NE(err.find("warning: " + tiny + ": RT_RCDATA 28"), std::string::npos) << err;
}

TEST(ValueEscapes, AnyTextSurvivesEscapeTrimAndUnescape) {
    const std::vector<std::u16string> texts = {
        u"", u" ", u"  a  ", u"\t", u"a\tb", u"\\", u"\\\\n", u"\\s", u"line\nnext\r\n", u"#not a comment",
        u"= starts with equals", u"\u0001\u001F\u007F\u0085", std::u16string(1, char16_t(0xD800)),
        std::u16string(1, char16_t(0xDFFF)) + u"x", u"\U0001F600 pair", u"caf\u00E9 \u2014 \uFEFF", u"100%",
    };
    for (const auto& text : texts) {
        std::string line = "CFG_APP_ARGS = " + qdstamp::escape_value(text) + "\n";
        qdstamp::Diagnostics diags;
        qdstamp::Config c = qdstamp::parse_config(line, "x", diags);
        ASSERT_FALSE(diags.has_errors()) << line;
        EXPECT_EQ(c.records.at(13).text, text) << line;
    }
}

TEST(ValueEscapes, EscapesAreTheDocumentedOnes) {
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"a\\tb", u"a\tb"}, {"a\\nb", u"a\nb"}, {"a\\rb", u"a\rb"}, {"\\sa\\s", u" a "},
        {"a\\\\b", u"a\\b"}, {"\\u00e9\\u00C9", u"\u00E9\u00C9"}, {"\\uD83D\\uDE00", u"\U0001F600"},
    };
    for (const auto& [raw, expected] : cases) {
        std::u16string out;
        std::string error;
        ASSERT_TRUE(qdstamp::unescape_value(raw, &out, &error)) << raw << ": " << error;
        EXPECT_EQ(out, expected) << raw;
    }
}

}  // namespace
