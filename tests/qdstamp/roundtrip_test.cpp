// build -> show -> build reproduces the same records and the same file, and
// show prints any record or version string so that build reads it back exactly.
#include <gtest/gtest.h>

#include <set>

#include "config_file.h"
#include "config_show.h"
#include "pe_image.h"
#include "records.h"
#include "resource_tree.h"
#include "stamp.h"
#include "test_support.h"
#include "value_escape.h"
#include "version_info.h"

namespace {

using qdstamp::Bytes;

// Every record the launcher reads, with values as vendors type them and
// values that need the <U+XXXX> escape.
const char kRichConfig[] =
    "# every record\n"
    "CFG_RUNTIME_DIR = %LOCALAPPDATA%\\MyApp\\jre\n"
    "CFG_MIN_VERSION = 17.0.2\n"
    "CFG_MAX_VERSION =\n"
    "CFG_SPLASH = false\n"
    "CFG_SPLASH_UNTIL_WINDOW = false\n"
    "CFG_SPLASH_TIMEOUT = 60\n"
    "CFG_SPLASH_TIMEOUT_ERROR = true\n"
    "CFG_WORK_DIR = data\\new\n"
    "CFG_PRIVATE_LAUNCHER = true\n"
    "CFG_ERROR_TITLE = <U+0020><U+0020>My App \xE2\x80\x94 \xF0\x9F\x9A\x80<U+0020>\n"
    "CFG_WAIT = false\n"
    "CFG_JVM_OPTIONS = -Xss2m -Djava.library.path=lib\\native -Dlog=C:\\temp\\new -Dp=\"%APPDATA%\\x y\" -Dre=a\\<U+005C>d\n"
    "CFG_APP_ARGS = --mode=50% --file <U+003C>U+0041> \\\\server\\share\\x.txt\n"
    "CFG_JAR = lib\\tools.jar\n"
    "CFG_MAIN_CLASS = com.example.Main\n"
    "CFG_CLASSPATH = lib\\*;%EXTRA%\n"
    "CFG_JAR_IN_EXE = false\n"
    "CFG_SEARCH_ORDER = 2\n"
    "CFG_ENV_VARS = A=1\n"
    "CFG_ENV_VARS = PATH=%PATH%;C:\\tools\\bin\n"
    "CFG_ENV_VARS = EMPTY=\n"
    "CFG_PRIORITY = 32\n"
    "CFG_DOWNLOAD_URL = https://example.com/java?x=1&y=2#frag\n"
    "CFG_HELP_URL = https://example.com/help\n"
    "CFG_MUTEX = Global\\MyAppMutex\n"
    "CFG_INSTANCE_TITLE = My App\n"
    "CFG_FORWARD_ARGUMENTS = true\n"
    "CFG_INITIAL_HEAP_MB = 64\n"
    "CFG_INITIAL_HEAP_PERCENT = 10\n"
    "CFG_MAX_HEAP_MB = 1024\n"
    "CFG_PREFERRED_HEAP_MB = 512\n"
    "CFG_MIN_HEAP_MB = 256\n"
    "CFG_RUNTIME_SOURCES = registry;java_home;path;folders\n"
    "CFG_RUNTIME_MACHINES = arm64;x64\n"
    "CFG_REQUIREMENTS_URL = https://example.com/myapp/requirements?os=win64\n"
    "CFG_SUPPORT_CONTACT = Support <support@example.com>, +1 555 0100\n"
    "CFG_APP_USER_MODEL_ID = ExampleLtd.MyApp.Tools\n"
    "CFG_RESTART_EXIT_CODE = 23\n"
    "MSG_STARTUP_ERROR = L'application n'a pas pu d\xC3\xA9marrer.\n"
    "MSG_RUNTIME_DIR_ERROR = No Java runtime in %s\n"
    "MSG_RUNTIME_VERSION_ERROR = Needs Java\n"
    "MSG_LAUNCHER_ERROR = Launcher error:<U+000A><U+0009>see the log\n"
    "PRODUCT_NAME = My App\n"
    "COMPANY_NAME = Example \xC2\xA9 Ltd\n"
    "FILE_DESCRIPTION = My App launcher\n"
    "FILE_VERSION = 2.5.0.17\n"
    "PRODUCT_VERSION = 2.5.0.0\n"
    "COPYRIGHT = (c) 2024\n"
    "TRADEMARKS = MyApp<U+2122>\n"
    "ORIGINAL_FILENAME = MyApp.exe\n"
    "INTERNAL_NAME = myapp\n"
    "COMMENTS = <U+0020>spaced<U+0020>\n";

// The module form's records, which cannot stand with the jar records above.
const char kModuleConfig[] = "MSG_STARTUP_ERROR = x\nCFG_MODULE = com.example.app/com.example.app.Main\n"
                             "CFG_MODULE_PATH = lib;%EXEDIR%\\javafx\\*.jar\nFILE_VERSION = 1.0.0.0\n";

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
    std::set<int> ids;
    for (const char* config : {kRichConfig, kModuleConfig}) {
        const Built first = build_and_show(tiny, config);
        const Built second = build_and_show(tiny, first.shown);
        EXPECT_EQ(first.shown, second.shown);
        EXPECT_EQ(first.file, second.file);
        for (const auto& r : records_of(first.file)) {
            EXPECT_EQ(r.language, 0x0400);
            ids.insert(r.name.id);
        }
    }
    std::size_t count = 0;
    qdstamp::record_table(&count);
    EXPECT_EQ(ids.size(), count) << "every record is in one of the two configurations";
}

TEST(RoundTrip, RecordDataIsUtf16WithOneZeroUnit) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    const Built b = build_and_show(tiny, "MSG_STARTUP_ERROR = jvm\nCFG_JAR = a.jar\nCFG_MAX_VERSION =\n"
                                         "CFG_ERROR_TITLE = \xF0\x9F\x98\x80<U+0020>\n");
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
    qdtest::PngPicture double_size{128, 80, 0, 8, false, std::vector<std::uint16_t>(128 * 80, 200)};
    const Built first = build_and_show(tiny, config,
                                       {"--icon", scratch.write("a.ico", qdtest::make_ico({{32, 32}})), "--splash",
                                        scratch.write("s.bmp", qdtest::make_bmp(64, 40, 8)), "--splash-2x",
                                        scratch.write("s@2x.png", qdtest::make_png_file(double_size))});
    EXPECT_NE(first.shown.find("# Icon: group 1 with 1 image(s)"), std::string::npos) << first.shown;
    EXPECT_NE(first.shown.find("# Splash bitmap: 64x40, 8 bits per pixel\n"
                               "# Splash bitmap 2x: 128x80, 32 bits per pixel, premultiplied alpha\n"),
              std::string::npos) << first.shown;
    // The stamped file as launcher: icon and splash come along, records and
    // version resource are rewritten from the shown text.
    const std::string first_path = scratch.write("first.exe", first.file);
    const Built second = build_and_show(first_path, first.shown);
    EXPECT_EQ(second.file, first.file);
}

TEST(RoundTrip, ForeignVersionResourceIsShownAsCommentsAndKept) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    const Built first = build_and_show(tiny, "MSG_STARTUP_ERROR = x\nCFG_JAR = a.jar\n");
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

// Texts a record may hold: as vendors type them, with what needs the escape,
// and with what the earlier escaped format would have read otherwise.
const std::vector<std::u16string>& awkward_texts() {
    static const std::vector<std::u16string> texts = {
        u"", u" ", u"  a  ", u"\t", u"a\tb", u"a\t", u"line\nnext\r\n", u"#not a comment", u"= starts with equals",
        u"\u0001\u001F\u007F\u0085", std::u16string(1, char16_t(0xD800)), std::u16string(1, char16_t(0xDFFF)) + u"x",
        u"\U0001F600 pair", u"caf\u00E9 \u2014 \uFEFF\u200B", u"100%", u"C:\\temp\\new", u"lib\\\\app.jar",
        u"\\\\server\\share", u"\\\\\\\\x", u"a\\", u"\\", u"\\sx\\s", u"\\u00e9", u"A=1\\tB=2", u"x\\ny",
        u"<U+0041>", u"<<U+", u"<U+", u"<U+12345678>",
    };
    return texts;
}

// show of one resource, parsed again without a diagnostic.
qdstamp::Config show_and_parse(std::uint16_t type, std::uint16_t name, Bytes data) {
    qdstamp::Resource r;
    r.type = qdstamp::ResourceId::number(type);
    r.name = qdstamp::ResourceId::number(name);
    r.data = std::move(data);
    qdstamp::Diagnostics diags;
    const std::string shown = qdstamp::show_config({r}, "x.exe", diags);
    qdstamp::Config c = qdstamp::parse_config(shown, "x.qdcfg", diags);
    EXPECT_TRUE(diags.items().empty()) << shown;
    return c;
}

TEST(ValueEscapes, ShowPrintsWhatBuildReadsBackForEveryKey) {
    std::size_t count = 0;
    const qdstamp::RecordInfo* records = qdstamp::record_table(&count);
    for (std::size_t i = 0; i < count; ++i)
        for (const std::u16string& text : awkward_texts()) {
            const auto id = static_cast<std::uint16_t>(records[i].id);
            EXPECT_EQ(show_and_parse(qdstamp::kRtRcData, id, qdstamp::record_data(text)).records.at(id).text, text) << records[i].name;
        }
    const qdstamp::VersionKey* keys = qdstamp::version_key_table(&count);
    for (std::size_t i = 0; i < count; ++i)
        for (const std::u16string& text : awkward_texts()) {
            const std::string key = keys[i].key;
            if (text.empty() || key == "FILE_VERSION" || key == "PRODUCT_VERSION") continue;  // not stored; a.b.c.d
            const Bytes version = qdstamp::build_version_resource({{"FILE_VERSION", u"1.2.3.4"}, {key, text}});
            EXPECT_EQ(show_and_parse(qdstamp::kRtVersion, 1, version).version.at(key).text, text) << key;
        }
}

}  // namespace
