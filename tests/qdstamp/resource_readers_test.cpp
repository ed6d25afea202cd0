// Independent readers of a stamped file see exactly the resources qdstamp
// wrote: binutils' objdump -p and windres, LLVM's readobj --coff-resources,
// and a stripped copy still shows the same configuration.  (They find the
// resources by section name, so a stale second .rsrc misled all of them.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "pe_image.h"
#include "resource_tree.h"
#include "test_support.h"

namespace {

using qdstamp::Bytes;

// One resource as a reader lists it; readers that do not print the data
// leave `data` empty and give only its size.
struct Entry {
    unsigned type = 0, name = 0, language = 0;
    std::size_t size = 0;
    Bytes data;
    bool operator==(const Entry& o) const {
        return type == o.type && name == o.name && language == o.language && size == o.size && data == o.data;
    }
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << "type " << e.type << " name " << e.name << " language " << e.language << " size " << e.size
              << (e.data.empty() ? "" : " with data");
}

// What qdstamp itself reads back (and show prints), with the details a
// reader gives.
std::vector<Entry> own_reading(const Bytes& file, bool with_data, bool with_language = true) {
    std::vector<Entry> out;
    for (const auto& r : qdstamp::read_resources(file, qdstamp::parse_pe(file)))
        out.push_back({r.type.id, r.name.id, with_language ? r.language : 0u, r.data.size(), with_data ? r.data : Bytes()});
    return out;
}

// Runs a shell command; its standard output, or a failure.
std::string output_of(const std::string& command, const qdtest::Scratch& scratch) {
    const std::string out_path = scratch.path("tool-output.txt");
    const int status = std::system((command + " >" + out_path + " 2>" + scratch.path("tool-errors.txt")).c_str());
    const Bytes out = qdtest::read(out_path);
    EXPECT_EQ(status, 0) << command;
    return std::string(out.begin(), out.end());
}

unsigned number(const std::string& text, int base) { return static_cast<unsigned>(std::stoul(text, nullptr, base)); }

// objdump -p prints the tree: "Entry: ID: 0x..." indented by level, then
// "Leaf: Addr: ..., Size: 0x...".
std::vector<Entry> objdump_reading(const std::string& exe, const qdtest::Scratch& scratch) {
    std::istringstream text(output_of(std::string(QDSTAMP_OBJDUMP) + " -p " + exe, scratch));
    const std::regex entry(R"(^[0-9a-f]+( +)Entry: ID: 0x([0-9a-f]+))"), leaf(R"(Leaf: Addr: 0x[0-9a-f]+, Size: 0x([0-9a-f]+))");
    std::vector<Entry> out;
    Entry path;
    bool in_tree = false;
    for (std::string line; std::getline(text, line);) {
        in_tree = in_tree || line.find("Resource Directory section") != std::string::npos;
        std::smatch m;
        if (!in_tree) continue;
        if (std::regex_search(line, m, entry)) {
            const unsigned id = number(m[2], 16);
            const std::size_t indent = m[1].length();
            (indent <= 3 ? path.type : indent <= 5 ? path.name : path.language) = id;
        } else if (std::regex_search(line, m, leaf)) {
            path.size = number(m[1], 16);
            out.push_back(path);
        }
    }
    return out;
}

// llvm-readobj --coff-resources prints every entry with a hex dump of its data.
std::vector<Entry> readobj_reading(const std::string& exe, const qdtest::Scratch& scratch) {
    std::istringstream text(output_of(std::string(QDSTAMP_LLVM_READOBJ) + " --coff-resources " + exe, scratch));
    const std::regex type(R"(^\s*Type: .*\(ID (\d+)\) \[)"), name(R"(^\s*Name: .*\(ID (\d+)\) \[)"),
        language(R"(^\s*Language: .*\(ID (\d+)\) \[)"), size(R"(^\s*DataSize: (\d+))"),
        dump(R"(^\s*[0-9A-F]{4,}: ([0-9A-F ]+?)  +\|)");
    std::vector<Entry> out;
    Entry path;
    for (std::string line; std::getline(text, line);) {
        std::smatch m;
        if (std::regex_search(line, m, type)) path.type = number(m[1], 10);
        else if (std::regex_search(line, m, name)) path.name = number(m[1], 10);
        else if (std::regex_search(line, m, language)) path.language = number(m[1], 10);
        else if (std::regex_search(line, m, size)) {
            path.size = number(m[1], 10);
            path.data.clear();
            out.push_back(path);
        } else if (std::regex_search(line, m, dump) && !out.empty()) {
            std::istringstream groups(m[1]);
            for (std::string group; groups >> group;)
                for (std::size_t k = 0; k + 1 < group.size(); k += 2)
                    out.back().data.push_back(static_cast<std::uint8_t>(number(group.substr(k, 2), 16)));
        }
    }
    return out;
}

// windres turns the executable's resources into a .res file: a list of
// headers (sizes, type, name; the language it leaves 0) each followed by the data.
std::vector<Entry> windres_reading(const std::string& exe, const qdtest::Scratch& scratch) {
    const std::string res = scratch.path("out.res");
    output_of(std::string(QDSTAMP_WINDRES) + " -J coff -i " + exe + " -O res -o " + res, scratch);
    const Bytes b = qdtest::read(res);
    std::vector<Entry> out;
    for (std::size_t at = 0; at + 8 <= b.size();) {
        const std::uint32_t data_size = qdtest::u32(b, at), header_size = qdtest::u32(b, at + 4);
        // Type and name are 0xFFFF and an id here (no named resources).
        Entry e{qdtest::u16(b, at + 10), qdtest::u16(b, at + 14), 0, data_size,
                Bytes(b.begin() + static_cast<std::ptrdiff_t>(at + header_size),
                      b.begin() + static_cast<std::ptrdiff_t>(at + header_size + data_size))};
        if (data_size != 0 || e.type != 0) out.push_back(e);  // the first header is an empty marker
        at = static_cast<std::size_t>(qdstamp::align_up(at + header_size + data_size, 4));
    }
    return out;
}

struct Reader {
    const char* name;
    const char* tool;
    bool gives_data;
    bool gives_language;
    std::function<std::vector<Entry>(const std::string&, const qdtest::Scratch&)> read;
};

const char kConfig[] =
    "MSG_STARTUP_ERROR = The application could not start.\n"
    "CFG_RUNTIME_DIR = jre\n"
    "CFG_JVM_OPTIONS = -Xmx512m -Dlog=C:\\temp\\new\n"
    "CFG_MAIN_CLASS = com.example.Main\n"
    "CFG_CLASSPATH = lib\\*\n"
    "CFG_WORK_DIR = .\n"
    "CFG_SPLASH = true\n"
    "CFG_ENV_VARS = A=1\n"
    "CFG_ENV_VARS = B=2\n"
    "PRODUCT_NAME = Readers\n"
    "FILE_VERSION = 1.2.3.4\n";

// The fixture programs stamped with records, icon, splash and version.
std::vector<std::string> stamped_fixtures(const qdtest::Scratch& scratch) {
    std::vector<std::string> out;
    for (const char* fixture : {"tiny.exe", "resprobe.exe"}) {
        const std::string input = qdtest::fixture(fixture);
        if (input.empty()) continue;
        const std::string stamped = scratch.path(std::string("stamped-") + fixture);
        std::string err;
        EXPECT_EQ(qdtest::run({"build", "--launcher", input, "--config", scratch.write("a.qdcfg", std::string(kConfig)), "--out", stamped,
                               "--icon", scratch.write("a.ico", qdtest::make_ico({{32, 32}, {16, 8}})), "--splash",
                               scratch.write("s.bmp", qdtest::make_bmp(64, 40, 24))},
                              nullptr, &err),
                  0)
            << err;
        out.push_back(stamped);
    }
    return out;
}

TEST(ResourceReaders, SeeExactlyTheStampedResources) {
    const std::vector<Reader> readers = {
        {"objdump -p", QDSTAMP_OBJDUMP, false, true, objdump_reading},
        {"llvm-readobj --coff-resources", QDSTAMP_LLVM_READOBJ, true, true, readobj_reading},
        {"windres", QDSTAMP_WINDRES, true, false, windres_reading},
    };
    qdtest::Scratch scratch;
    const auto stamped = stamped_fixtures(scratch);
    if (stamped.empty()) GTEST_SKIP() << "no MinGW fixture";
    for (const Reader& reader : readers) {
        if (*reader.tool == 0) {
            std::cout << "skipped: " << reader.name << " is not installed\n";
            continue;
        }
        for (const std::string& exe : stamped) {
            SCOPED_TRACE(std::string(reader.name) + " on " + exe);
            const auto expected = own_reading(qdtest::read(exe), reader.gives_data, reader.gives_language);
            ASSERT_GE(expected.size(), 8u);  // 6 records, icon group and images, bitmap, version, manifest
            EXPECT_EQ(reader.read(exe, scratch), expected);
        }
    }
}

TEST(ResourceReaders, StripKeepsTheConfiguration) {
    if (*QDSTAMP_STRIP == 0) GTEST_SKIP() << "strip is not installed";
    qdtest::Scratch scratch;
    const auto stamped = stamped_fixtures(scratch);
    if (stamped.empty()) GTEST_SKIP() << "no MinGW fixture";
    for (const std::string& exe : stamped) {
        SCOPED_TRACE(exe);
        const std::string stripped = exe + ".stripped.exe";
        output_of(std::string(QDSTAMP_STRIP) + " -o " + stripped + " " + exe, scratch);
        std::string shown, shown_stripped, err;
        EXPECT_EQ(qdtest::run({"show", exe}, &shown, &err), 0) << err;
        EXPECT_EQ(qdtest::run({"show", stripped}, &shown_stripped, &err), 0) << err;
        EXPECT_NE(shown.find("CFG_ENV_VARS = B=2\n"), std::string::npos) << shown;
        EXPECT_EQ(shown_stripped, shown);
        EXPECT_EQ(own_reading(qdtest::read(stripped), true), own_reading(qdtest::read(exe), true));
    }
}

}  // namespace
