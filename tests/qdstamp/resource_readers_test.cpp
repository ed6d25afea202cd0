// Independent readers of a stamped file see exactly the resources qdstamp
// reads back (binutils' objdump -p, LLVM's readobj --coff-resources), and a
// stripped copy shows the same configuration.  They find the resources by
// section name, so a stale second .rsrc misled all of them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "pe_image.h"
#include "resource_tree.h"
#include "test_support.h"

namespace {

// "type/name/language size" for every resource, as qdstamp reads them.
std::vector<std::string> own_reading(const std::string& exe) {
    const qdstamp::Bytes file = qdtest::read(exe);
    std::vector<std::string> out;
    for (const auto& r : qdstamp::read_resources(file, qdstamp::parse_pe(file)))
        out.push_back(std::to_string(r.type.id) + "/" + std::to_string(r.name.id) + "/" + std::to_string(r.language) + " " +
                      std::to_string(r.data.size()));
    return out;
}

std::string output_of(const std::string& command, const qdtest::Scratch& scratch) {
    const std::string out = scratch.path("tool-output.txt");
    EXPECT_EQ(std::system((command + " >" + out + " 2>&1").c_str()), 0) << command;
    const qdstamp::Bytes text = qdtest::read(out);
    return std::string(text.begin(), text.end());
}

// The same list from a reader's output: `levels` match the type, name and
// language lines (the id in group 1), `leaf` the data size (group 1).
std::vector<std::string> reading(const std::string& text, const std::regex (&levels)[3], const std::regex& leaf, int base) {
    std::vector<std::string> out;
    std::string path[3];
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        for (int level = 0; level < 3; ++level)
            if (std::regex_search(line, m, levels[level])) path[level] = std::to_string(std::stoul(m[1], nullptr, base));
        if (std::regex_search(line, m, leaf))
            out.push_back(path[0] + "/" + path[1] + "/" + path[2] + " " + std::to_string(std::stoul(m[1], nullptr, base)));
    }
    return out;
}

// The fixture programs stamped with records, icon, splash and version.
std::vector<std::string> stamped_fixtures(const qdtest::Scratch& scratch) {
    const std::string config =
        "MSG_STARTUP_ERROR = x\nCFG_JVM_OPTIONS = -Dlog=C:\\temp\\new\nCFG_JAR = app.jar\nCFG_SPLASH = true\n"
        "CFG_ENV_VARS = A=1\nCFG_ENV_VARS = B=2\nFILE_VERSION = 1.2.3.4\n";
    std::vector<std::string> out;
    for (const char* fixture : {"tiny.exe", "resprobe.exe"}) {
        if (qdtest::fixture(fixture).empty()) continue;
        out.push_back(scratch.path(std::string("stamped-") + fixture));
        EXPECT_EQ(qdtest::run({"build", "--launcher", qdtest::fixture(fixture), "--config", scratch.write("a.qdcfg", config), "--out",
                               out.back(), "--icon", scratch.write("a.ico", qdtest::make_ico({{32, 32}, {16, 8}})), "--splash",
                               scratch.write("s.bmp", qdtest::make_bmp(64, 40, 24))}),
                  0);
    }
    return out;
}

TEST(ResourceReaders, SeeExactlyTheStampedResources) {
    qdtest::Scratch scratch;
    const auto stamped = stamped_fixtures(scratch);
    if (stamped.empty()) GTEST_SKIP() << "no MinGW fixture";
    const std::string objdump = QDSTAMP_OBJDUMP, readobj = QDSTAMP_LLVM_READOBJ;
    for (const std::string& exe : stamped) {
        SCOPED_TRACE(exe);
        const auto expected = own_reading(exe);
        ASSERT_GE(expected.size(), 9u);  // 4 records, 2 icons and their group, bitmap, version, manifest
        if (!objdump.empty()) {
            // "010   Entry: ID: 0x000003": the indent gives the level.
            const std::regex levels[3] = {std::regex(R"(^[0-9a-f]+   Entry: ID: 0x([0-9a-f]+))"),
                                          std::regex(R"(^[0-9a-f]+     Entry: ID: 0x([0-9a-f]+))"),
                                          std::regex(R"(^[0-9a-f]+       Entry: ID: 0x([0-9a-f]+))")};
            EXPECT_EQ(reading(output_of(objdump + " -p " + exe, scratch), levels, std::regex(R"(Leaf: .* Size: 0x([0-9a-f]+))"), 16),
                      expected)
                << "objdump -p";
        }
        if (!readobj.empty()) {
            const std::regex levels[3] = {std::regex(R"(^\s*Type: .*\(ID (\d+)\))"), std::regex(R"(^\s*Name: .*\(ID (\d+)\))"),
                                          std::regex(R"(^\s*Language: .*\(ID (\d+)\))")};
            EXPECT_EQ(reading(output_of(readobj + " --coff-resources " + exe, scratch), levels, std::regex(R"(DataSize: (\d+))"), 10),
                      expected)
                << "llvm-readobj --coff-resources";
        }
    }
}

TEST(ResourceReaders, StripKeepsTheConfiguration) {
    const std::string strip = QDSTAMP_STRIP;
    if (strip.empty()) GTEST_SKIP() << "strip is not installed";
    qdtest::Scratch scratch;
    const auto stamped = stamped_fixtures(scratch);
    if (stamped.empty()) GTEST_SKIP() << "no MinGW fixture";
    for (const std::string& exe : stamped) {
        SCOPED_TRACE(exe);
        output_of(strip + " -o " + exe + ".stripped " + exe, scratch);
        std::string shown, shown_stripped;
        EXPECT_EQ(qdtest::run({"show", exe}, &shown), 0);
        EXPECT_EQ(qdtest::run({"show", exe + ".stripped"}, &shown_stripped), 0);
        EXPECT_NE(shown.find("CFG_ENV_VARS = B=2\n"), std::string::npos) << shown;
        EXPECT_EQ(shown_stripped, shown);
    }
}

}  // namespace
