// The qdstamp executable itself: exit codes, usage errors, output paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "records.h"
#include "test_support.h"
#include "version_info.h"

namespace {

using qdstamp::Bytes;

// Runs the built qdstamp binary; returns its exit code, stderr in *err.
int run_binary(const std::string& args, const qdtest::Scratch& scratch, std::string* err) {
    const std::string err_path = scratch.path("stderr.txt");
    const std::string command = std::string(QDSTAMP_EXE) + " " + args + " >" + scratch.path("stdout.txt") + " 2>" + err_path;
    int status = std::system(command.c_str());
    Bytes text = qdtest::read(err_path);
    err->assign(text.begin(), text.end());
    std::remove(err_path.c_str());
    std::remove(scratch.path("stdout.txt").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct CliCase {
    const char* args;
    int code;
    const char* expect;
};

TEST(Cli, UsageErrorsExitWithTwo) {
    qdtest::Scratch scratch;
    const std::vector<CliCase> cases = {
        {"", 2, "error: no command given"},
        {"frobnicate", 2, "error: unknown command frobnicate"},
        {"build --config a.qdcfg --out x.exe", 2, "build needs --launcher, --config and --out"},
        {"build --launcher a --config b --out c --colour red", 2, "unknown option --colour for build"},
        {"build --launcher a --launcher b --config c --out d", 2, "option --launcher given twice"},
        {"build --launcher", 2, "option --launcher needs a value"},
        {"build --launcher a --config b --out c --splash-2x s@2x.png", 2, "--splash-2x needs --splash"},
        {"check", 2, "check takes one configuration file"},
        {"show a.exe b.exe", 2, "show takes one executable"},
        {"init app.qdcfg", 2, "init takes no argument (write the file with --out app.qdcfg)"},
        {"help", 0, ""},
    };
    for (const CliCase& c : cases) {
        std::string err;
        EXPECT_EQ(run_binary(c.args, scratch, &err), c.code) << c.args;
        EXPECT_NE(err.find(c.expect), std::string::npos) << c.args << "\n" << err;
    }
}

TEST(Cli, FailuresNameTheFileAndWriteNothing) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    qdtest::Scratch scratch;
    const std::string good = scratch.write("good.qdcfg", qdtest::config_with(""));
    const std::string bad = scratch.write("bad.qdcfg", "CFG_WAIT = yes\n");
    const std::string text = scratch.write("notes.txt", std::string("plain text"));
    const std::string out = scratch.path("out.exe");
    std::string err;

    EXPECT_EQ(run_binary("build --launcher " + text + " --config " + good + " --out " + out, scratch, &err), 1);
    EXPECT_EQ(err, "error: " + text + ": not a PE file (no MZ header)\n");
    EXPECT_FALSE(qdtest::exists(out));

    EXPECT_EQ(run_binary("build --launcher " + tiny + " --config " + bad + " --out " + out, scratch, &err), 1);
    EXPECT_NE(err.find("error: " + bad + ":1: CFG_WAIT: must be true or false"), std::string::npos) << err;
    EXPECT_NE(err.find("error: " + bad + ": MSG_STARTUP_ERROR is required"), std::string::npos) << err;
    EXPECT_FALSE(qdtest::exists(out));

    const std::string missing_dir = scratch.path("no-such-dir/out.exe");
    EXPECT_EQ(run_binary("build --launcher " + tiny + " --config " + good + " --out " + missing_dir, scratch, &err), 1);
    EXPECT_EQ(err.rfind("error: " + missing_dir + ": cannot create", 0), 0u) << err;

    EXPECT_EQ(run_binary("show " + scratch.path("missing.exe"), scratch, &err), 1);
    EXPECT_EQ(err.rfind("error: " + scratch.path("missing.exe") + ": cannot open for reading", 0), 0u) << err;

    EXPECT_EQ(run_binary("build --launcher " + tiny + " --config " + good + " --out " + out, scratch, &err), 0) << err;
    EXPECT_TRUE(qdtest::exists(out));
    // An existing output is replaced whole.
    EXPECT_EQ(run_binary("build --launcher " + tiny + " --config " + good + " --out " + out, scratch, &err), 0) << err;
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"bad.qdcfg", "good.qdcfg", "notes.txt", "out.exe"}));
}

TEST(Cli, UnreadableInputs) {
    qdtest::Scratch scratch;
    const std::string config = scratch.write("a.qdcfg", qdtest::config_with(""));
    // A sparse file just over the 256 MiB limit is refused without being read.
    const std::string huge = scratch.path("huge.exe");
    scratch.write("huge.exe", std::string("MZ"));
    std::filesystem::resize_file(huge, 256ull * 1024 * 1024 + 1);
    struct Input {
        std::string path;
        const char* message;
    };
    const std::vector<Input> inputs = {
        {huge, "file is larger than the limit of 256 MiB"},
        {scratch.path(""), "cannot"},  // a directory
        {scratch.path("missing.exe"), "cannot open for reading"},
    };
    for (const Input& in : inputs) {
        std::string err;
        EXPECT_EQ(run_binary("build --launcher " + in.path + " --config " + config + " --out " + scratch.path("out.exe"), scratch, &err), 1);
        EXPECT_EQ(err.rfind("error: " + in.path + ": ", 0), 0u) << err;
        EXPECT_NE(err.find(in.message), std::string::npos) << err;
        EXPECT_FALSE(qdtest::exists(scratch.path("out.exe")));
    }
}

TEST(Cli, ShowWritesAConfigurationFile) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    qdtest::Scratch scratch;
    std::string err;
    EXPECT_EQ(run_binary("show " + tiny + " --out " + scratch.path("shown.qdcfg"), scratch, &err), 0) << err;
    // The fixture's version resource is not qdstamp's: shown as comments, so
    // check only remarks that the configuration has no version keys.
    EXPECT_EQ(run_binary("check " + scratch.path("shown.qdcfg"), scratch, &err), 0) << err;
    EXPECT_EQ(err.rfind("warning: " + scratch.path("shown.qdcfg") + ": no version keys", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(Cli, InitWritesEveryKeyAndChecksWithPlaceholderWarningsOnly) {
    qdtest::Scratch scratch;
    std::string text, err;
    ASSERT_EQ(qdtest::run({"init"}, &text, &err), 0) << err;
    EXPECT_EQ(err, "");
    // Every key, as an active line or a commented one ready to be used.
    auto has_key = [&](const std::string& name) {
        return text.find("\n" + name + " =") != std::string::npos || text.find("\n# " + name + " =") != std::string::npos;
    };
    std::size_t count = 0;
    const qdstamp::RecordInfo* records = qdstamp::record_table(&count);
    for (std::size_t i = 0; i < count; ++i) EXPECT_TRUE(has_key(records[i].name)) << records[i].name;
    const qdstamp::VersionKey* keys = qdstamp::version_key_table(&count);
    for (std::size_t i = 0; i < count; ++i) EXPECT_TRUE(has_key(keys[i].key)) << keys[i].key;

    // Fed back to check: nothing but the placeholders it asks to fill.
    const std::string path = scratch.write("starter.qdcfg", text);
    EXPECT_EQ(qdtest::run({"check", path}, nullptr, &err), 0) << err;
    std::vector<std::string> placeholders;
    for (std::size_t start = 0; start < err.size();) {
        std::size_t end = err.find('\n', start);
        const std::string line = err.substr(start, end - start);
        const std::string prefix = "warning: " + path + ":";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        const std::string message = line.substr(line.find(": ", prefix.size()) + 2);  // after the line number
        const std::size_t blank = message.find(' ');
        EXPECT_EQ(message.find(" is still the placeholder \"<fill in: "), blank) << line;
        placeholders.push_back(message.substr(0, blank));
        start = end + 1;
    }
    EXPECT_EQ(placeholders, (std::vector<std::string>{"CFG_MAIN_CLASS", "CFG_ERROR_TITLE", "MSG_STARTUP_ERROR", "PRODUCT_NAME",
                                                      "FILE_DESCRIPTION", "COMPANY_NAME"}));

    // --out writes the same text, and never over an existing file.
    const std::string out = scratch.path("app.qdcfg");
    EXPECT_EQ(qdtest::run({"init", "--out", out}, nullptr, &err), 0) << err;
    const Bytes written = qdtest::read(out);
    EXPECT_EQ(std::string(written.begin(), written.end()), text);
    scratch.write("app.qdcfg", std::string("CFG_JAR = mine.jar\n"));
    EXPECT_EQ(qdtest::run({"init", "--out", out}, nullptr, &err), 1);
    EXPECT_EQ(err, "error: " + out + ": already exists; init never overwrites a configuration: give another name\n");
    const Bytes kept = qdtest::read(out);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "CFG_JAR = mine.jar\n");
}

}  // namespace
