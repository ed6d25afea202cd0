// The rewritten PE: section table, image size, resource data directory,
// checksum, preserved bytes and trailing data, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "pe_checksum.h"
#include "pe_image.h"
#include "pe_rewrite.h"
#include "resource_tree.h"
#include "test_support.h"

namespace {

using qdstamp::Bytes;
using qdstamp::PeImage;

#define REQUIRE_FIXTURE(var, name)                                       \
    const std::string var = qdtest::fixture(name);                       \
    if (var.empty()) GTEST_SKIP() << "no MinGW fixture " << name << " (cross compiler missing)"

const char kConfig[] =
    "MSG_STARTUP_ERROR = Cannot start\n"
    "CFG_JAR = app.jar\n"
    "CFG_JVM_OPTIONS = -Xmx256m\n";

// Stamps `launcher` with `config` (and extra build options) and returns the output.
Bytes stamp(const std::string& launcher, const std::string& config, std::vector<std::string> extra = {}) {
    qdtest::Scratch scratch;
    std::vector<std::string> args = {"build", "--launcher", launcher, "--config", scratch.write("a.qdcfg", config),
                                     "--out", scratch.path("out.exe")};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string err;
    int code = qdtest::run(args, nullptr, &err);
    EXPECT_EQ(code, 0) << err;
    return code == 0 ? qdtest::read(scratch.path("out.exe")) : Bytes();
}

std::vector<qdstamp::Resource> resources_of(const Bytes& file) {
    return qdstamp::read_resources(file, qdstamp::parse_pe(file));
}

// Header fields the rewrite is allowed to change.
std::set<std::size_t> changed_header_bytes(const PeImage& pe, std::size_t section_index) {
    std::set<std::size_t> allowed;
    auto add = [&](std::size_t at, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) allowed.insert(at + i);
    };
    add(pe.checksum_offset(), 4);
    add(pe.size_of_image_offset(), 4);
    add(pe.size_of_initialized_data_offset(), 4);
    add(pe.number_of_sections_offset(), 2);
    add(pe.pointer_to_symbols_offset(), 4);
    add(pe.directory_offset(qdstamp::kDirResource), 8);
    add(pe.section_header_offset(section_index), 40);
    return allowed;
}

TEST(PeRewrite, AppendsANewSectionWhenTheResourceSectionIsNotLast) {
    REQUIRE_FIXTURE(tiny, "tiny.exe");
    const Bytes in = qdtest::read(tiny);
    const PeImage before = qdstamp::parse_pe(in);
    ASSERT_NE(before.sections.back().name, ".rsrc") << "fixture should have .reloc after .rsrc";

    const Bytes out = stamp(tiny, kConfig);
    const PeImage after = qdstamp::parse_pe(out);
    ASSERT_EQ(after.sections.size(), before.sections.size() + 1);
    const qdstamp::Section& s = after.sections.back();
    const qdstamp::Section& prev = before.sections.back();
    EXPECT_EQ(s.name, ".rsrc");
    EXPECT_EQ(s.characteristics, 0x40000040u);
    EXPECT_EQ(s.virtual_address, qdstamp::align_up(prev.virtual_address + prev.memory_size(), after.section_alignment));
    EXPECT_EQ(s.raw_pointer, qdstamp::align_up(before.end_of_section_data(), after.file_alignment));
    EXPECT_EQ(s.raw_size % after.file_alignment, 0u);
    EXPECT_GE(s.raw_size, s.virtual_size);
    EXPECT_EQ(after.directories[qdstamp::kDirResource].rva, s.virtual_address);
    EXPECT_EQ(after.directories[qdstamp::kDirResource].size, s.virtual_size);
    EXPECT_EQ(after.size_of_image, qdstamp::align_up(s.virtual_address + s.virtual_size, after.section_alignment));
    EXPECT_EQ(after.size_of_initialized_data, before.size_of_initialized_data + s.raw_size);
    EXPECT_EQ(after.checksum, qdstamp::pe_checksum(out, after.checksum_offset()));
    EXPECT_NE(after.checksum, 0u);
    EXPECT_EQ(out.size(), std::uint64_t{s.raw_pointer} + s.raw_size);

    // The old resource section stays in its place, renamed and zeroed, so
    // that tools finding resources by section name see only the new one.
    std::size_t old_index = 0;
    while (before.sections[old_index].virtual_address != before.directories[qdstamp::kDirResource].rva) ++old_index;
    const qdstamp::Section& old = after.sections[old_index];
    EXPECT_EQ(old.name, ".oldrsrc");
    EXPECT_TRUE(std::all_of(out.begin() + old.raw_pointer, out.begin() + old.raw_pointer + old.raw_size, [](auto b) { return b == 0; }));
    for (const qdstamp::Section& other : after.sections)
        if (&other != &s) EXPECT_NE(other.name.rfind(".rsrc", 0), 0u) << other.name;

    // Everything else before the new section is unchanged except the updated fields.
    auto allowed = changed_header_bytes(before, before.sections.size());
    for (std::size_t i = 0; i < 8; ++i) allowed.insert(before.section_header_offset(old_index) + i);
    for (std::size_t i = 0; i < in.size(); ++i)
        if (in[i] != out[i] && (i < old.raw_pointer || i >= old.raw_pointer + old.raw_size))
            ASSERT_TRUE(allowed.count(i)) << "byte " << i << " changed";
    for (std::size_t i = 0; i < before.sections.size(); ++i) {
        EXPECT_EQ(after.sections[i].virtual_address, before.sections[i].virtual_address);
        EXPECT_EQ(after.sections[i].raw_pointer, before.sections[i].raw_pointer);
    }
}

TEST(PeRewrite, RestampingReplacesTheLastResourceSectionInPlace) {
    REQUIRE_FIXTURE(tiny, "tiny.exe");
    qdtest::Scratch scratch;
    const Bytes first = stamp(tiny, kConfig, {"--icon", scratch.write("big.ico", qdtest::make_ico({{64, 32}, {48, 32}}))});
    const std::string first_path = scratch.write("first.exe", first);
    const PeImage a = qdstamp::parse_pe(first);

    // A smaller resource set: the section shrinks where it is.
    const Bytes second = stamp(first_path, "MSG_STARTUP_ERROR = x\nCFG_JAR = a.jar\n", {"--icon", scratch.write("small.ico", qdtest::make_ico({{16, 32}}))});
    const PeImage b = qdstamp::parse_pe(second);
    ASSERT_EQ(b.sections.size(), a.sections.size());
    const qdstamp::Section& s = b.sections.back();
    EXPECT_EQ(s.virtual_address, a.sections.back().virtual_address);
    EXPECT_EQ(s.raw_pointer, a.sections.back().raw_pointer);
    EXPECT_LT(s.raw_size, a.sections.back().raw_size);
    EXPECT_EQ(b.size_of_image, qdstamp::align_up(s.virtual_address + s.virtual_size, b.section_alignment));
    EXPECT_LT(b.size_of_image, a.size_of_image);
    EXPECT_EQ(b.size_of_initialized_data, a.size_of_initialized_data - a.sections.back().raw_size + s.raw_size);
    EXPECT_EQ(b.checksum, qdstamp::pe_checksum(second, b.checksum_offset()));
    EXPECT_EQ(second.size(), std::uint64_t{s.raw_pointer} + s.raw_size);
    const auto allowed = changed_header_bytes(a, a.sections.size() - 1);
    for (std::size_t i = 0; i < s.raw_pointer; ++i)
        if (first[i] != second[i]) ASSERT_TRUE(allowed.count(i)) << "byte " << i << " changed";
}

TEST(PeRewrite, AddsAResourceSectionToAFileWithoutResources) {
    REQUIRE_FIXTURE(bare, "bare.exe");
    const Bytes in = qdtest::read(bare);
    ASSERT_EQ(qdstamp::parse_pe(in).directories[qdstamp::kDirResource].size, 0u);
    const Bytes out = stamp(bare, kConfig);
    auto res = resources_of(out);
    ASSERT_EQ(res.size(), 3u);
    for (const auto& r : res) EXPECT_TRUE(r.type.is(qdstamp::kRtRcData));
}

TEST(PeRewrite, KeepsTrailingDataAndMovesTheSymbolTableWithIt) {
    REQUIRE_FIXTURE(probe, "resprobe.exe");
    const Bytes in = qdtest::read(probe);
    const PeImage before = qdstamp::parse_pe(in);
    ASSERT_NE(before.pointer_to_symbols, 0u) << "fixture should keep its COFF symbol table";
    Bytes with_archive = in;
    const Bytes archive = {'P', 'K', 5, 6, 'j', 'a', 'r', 0, 1, 2, 3};
    with_archive.insert(with_archive.end(), archive.begin(), archive.end());
    qdtest::Scratch scratch;
    const Bytes out = stamp(scratch.write("in.exe", with_archive), kConfig);
    const PeImage after = qdstamp::parse_pe(out);

    const std::uint64_t old_tail = before.end_of_section_data();
    const std::uint64_t new_tail = after.end_of_section_data();
    ASSERT_EQ(out.size() - new_tail, with_archive.size() - old_tail);
    EXPECT_TRUE(std::equal(with_archive.begin() + static_cast<std::ptrdiff_t>(old_tail), with_archive.end(),
                           out.begin() + static_cast<std::ptrdiff_t>(new_tail)));
    EXPECT_EQ(after.pointer_to_symbols, before.pointer_to_symbols + (new_tail - old_tail));
    // Section names past 8 characters live in the moved string table.
    EXPECT_EQ(qdtest::u32(out, after.pointer_to_symbols), qdtest::u32(in, before.pointer_to_symbols));
}

TEST(PeRewrite, KeepsEveryResourceThatIsNotReplaced) {
    REQUIRE_FIXTURE(tiny, "tiny.exe");
    const auto in = resources_of(qdtest::read(tiny));
    const auto out = resources_of(stamp(tiny, kConfig));
    std::vector<const qdstamp::Resource*> kept_in, kept_out;
    for (const auto& r : in)
        if (!r.type.is(qdstamp::kRtRcData)) kept_in.push_back(&r);
    for (const auto& r : out)
        if (!r.type.is(qdstamp::kRtRcData)) kept_out.push_back(&r);
    ASSERT_EQ(kept_in.size(), kept_out.size());
    for (std::size_t i = 0; i < kept_in.size(); ++i) {
        EXPECT_TRUE(kept_in[i]->type == kept_out[i]->type);
        EXPECT_TRUE(kept_in[i]->name == kept_out[i]->name);
        EXPECT_EQ(kept_in[i]->language, kept_out[i]->language);
        EXPECT_EQ(kept_in[i]->data, kept_out[i]->data);
    }
    // The input's records (including id 28) are all gone; exactly the configured ones remain.
    std::vector<int> ids;
    for (const auto& r : out)
        if (r.type.is(qdstamp::kRtRcData)) ids.push_back(r.name.id);
    EXPECT_EQ(ids, (std::vector<int>{12, 14, 101}));
}

TEST(PeRewrite, IconAndSplashReplaceTheirResources) {
    REQUIRE_FIXTURE(tiny, "tiny.exe");
    qdtest::Scratch scratch;
    const Bytes ico = qdtest::make_ico({{16, 32}, {32, 8}, {48, 24}});
    const Bytes bmp = qdtest::make_bmp(20, 10, 24);
    const auto res = resources_of(stamp(tiny, "MSG_STARTUP_ERROR = x\nCFG_JAR = a.jar\nCFG_SPLASH = true\n",
                                        {"--icon", scratch.write("a.ico", ico), "--splash", scratch.write("s.bmp", bmp)}));
    int icons = 0;
    for (const auto& r : res) icons += r.type.is(qdstamp::kRtIcon);
    EXPECT_EQ(icons, 3);
    const auto* group = qdstamp::find_resource(res, qdstamp::kRtGroupIcon, 1, 0x0400);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(qdtest::u16(group->data, 4), 3);
    EXPECT_EQ(group->data.size(), 6u + 3 * 14);
    for (int id = 1; id <= 3; ++id) EXPECT_NE(qdstamp::find_resource(res, qdstamp::kRtIcon, static_cast<std::uint16_t>(id), 0x0400), nullptr);
    const auto* splash = qdstamp::find_resource(res, qdstamp::kRtBitmap, 1, 0x0400);
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->data, Bytes(bmp.begin() + 14, bmp.end()));
}

TEST(PeRewrite, OutputIsDeterministic) {
    REQUIRE_FIXTURE(probe, "resprobe.exe");
    qdtest::Scratch scratch;
    const std::string ico = scratch.write("a.ico", qdtest::make_ico({{32, 32}}));
    const std::string cfg = std::string(kConfig) + "FILE_VERSION = 1.0.0.0\n";
    const Bytes a = stamp(probe, cfg, {"--icon", ico});
    const Bytes b = stamp(probe, cfg, {"--icon", ico});
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    // The resource directory carries no timestamp.
    const PeImage pe = qdstamp::parse_pe(a);
    auto at = pe.rva_to_offset(pe.directories[qdstamp::kDirResource].rva, 16);
    ASSERT_TRUE(at);
    EXPECT_EQ(qdtest::u32(a, *at + 4), 0u);
}

struct Refusal {
    const char* name;
    std::function<void(Bytes&, const PeImage&)> damage;
    const char* message;
};

TEST(PeRewrite, RefusesFilesItMustNotStamp) {
    REQUIRE_FIXTURE(tiny, "tiny.exe");
    const Bytes good = qdtest::read(tiny);
    const std::vector<Refusal> cases = {
        {"signed", [](Bytes& b, const PeImage& pe) { qdstamp::put32(b, pe.directory_offset(qdstamp::kDirSecurity) + 4, 0x1000); },
         "the file is signed"},
        {"32-bit", [](Bytes& b, const PeImage& pe) { qdstamp::put16(b, pe.optional_offset, 0x10B); }, "32-bit PE (PE32) files are not supported"},
        {"no MZ", [](Bytes& b, const PeImage&) { b[0] = 'X'; }, "not a PE file"},
        {"no PE signature", [](Bytes& b, const PeImage& pe) { b[pe.pe_offset] = 'X'; }, "not a PE file (no PE signature"},
        {"truncated", [](Bytes& b, const PeImage& pe) { b.resize(pe.sections.back().raw_pointer + 10); }, "lies outside the file"},
        {"bad alignment", [](Bytes& b, const PeImage& pe) { qdstamp::put32(b, pe.optional_offset + 36, 1000); }, "bad file alignment"},
        {"resource loop",
         [](Bytes& b, const PeImage& pe) {
             auto root = *pe.rva_to_offset(pe.directories[qdstamp::kDirResource].rva, 24);
             qdstamp::put32(b, root + 20, 0x80000000u);  // first type points back at the root
         },
         "referenced twice (loop)"},
        {"resource offset outside",
         [](Bytes& b, const PeImage& pe) {
             auto root = *pe.rva_to_offset(pe.directories[qdstamp::kDirResource].rva, 24);
             qdstamp::put32(b, root + 20, 0x80FFFFF0u);
         },
         "outside the resource section"},
        {"text file", [](Bytes& b, const PeImage&) { b.assign({'h', 'e', 'l', 'l', 'o'}); }, "not a PE file"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        qdtest::Scratch scratch;
        Bytes bad = good;
        c.damage(bad, qdstamp::parse_pe(good));
        std::string in = scratch.write("in.exe", bad), err;
        int code = qdtest::run({"build", "--launcher", in, "--config", scratch.write("a.qdcfg", kConfig), "--out", scratch.path("out.exe")},
                               nullptr, &err);
        EXPECT_EQ(code, 1);
        EXPECT_NE(err.find("error: " + in + ": " ), std::string::npos) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(scratch.files(), (std::vector<std::string>{"a.qdcfg", "in.exe"}));
    }
}

}  // namespace
