// Randomized corruption of real MinGW-built PE files: bit flips, truncations,
// resource offsets pointed outside or back at their own directory, damaged
// header fields.  Every input must either be rejected with a Failure or give
// an output that reads back with exactly the configured records; nothing may
// crash (the host build runs this under AddressSanitizer and UBSan), and a
// rejected build must not leave any file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>

#include "commands.h"
#include "config_file.h"
#include "pe_image.h"
#include "pe_rewrite.h"
#include "resource_tree.h"
#include "stamp.h"
#include "test_support.h"

namespace {

using qdstamp::Bytes;

// Fixed seed and count: the run is the same every time and bounded.
constexpr std::uint32_t kSeed = 20240601;
constexpr int kMutationsPerBase = 10000;
constexpr int kCliEvery = 150;  // every n-th input also goes through the command line

const char kConfig[] = "MSG_STARTUP_ERROR = x\nCFG_JAR = a.jar\nFILE_VERSION = 1.0.0.0\n";

struct Target {
    std::size_t rsrc_offset = 0;  // file offset of the resource directory
    std::size_t rsrc_size = 0;
    std::size_t headers = 0;
};

Target locate(const Bytes& file) {
    const qdstamp::PeImage pe = qdstamp::parse_pe(file);
    const auto& dir = pe.directories[qdstamp::kDirResource];
    const auto& s = pe.sections[*pe.section_of_rva(dir.rva)];
    Target t;
    t.rsrc_offset = s.raw_pointer + (dir.rva - s.virtual_address);
    t.rsrc_size = s.raw_size - (dir.rva - s.virtual_address);
    t.headers = pe.size_of_headers;
    return t;
}

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : rng_(seed) {}

    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    void mutate(Bytes& b, const Target& t) {
        switch (below(7)) {
            case 0:  // bit flips in the headers
                for (std::size_t k = 0, n = 1 + below(8); k < n; ++k) flip(b, below(std::min(t.headers, b.size())));
                break;
            case 1:  // bit flips in the resource section
                for (std::size_t k = 0, n = 1 + below(8); k < n; ++k) flip(b, t.rsrc_offset + below(t.rsrc_size));
                break;
            case 2: {  // a resource directory word pointed somewhere bad
                std::size_t at = t.rsrc_offset + 4 * below(std::min<std::size_t>(t.rsrc_size, 512) / 4);
                const std::uint32_t choices[] = {0x80000000u,  // back to the root: a loop
                                                 0x80000000u | static_cast<std::uint32_t>(4 * below(64)),
                                                 static_cast<std::uint32_t>(t.rsrc_size + below(1 << 20)),
                                                 0x80000000u | static_cast<std::uint32_t>(t.rsrc_size + below(4096)),
                                                 0xFFFFFFFFu, static_cast<std::uint32_t>(rng_()), 0xFFFFu};
                put(b, at, choices[below(7)]);
                break;
            }
            case 3:  // truncation
                b.resize(below(b.size()));
                break;
            case 4: {  // a header field (data directories, section table) set to an edge value
                const qdstamp::PeImage pe = qdstamp::parse_pe(base_);
                std::size_t at = below(2) ? pe.directory_offset(static_cast<unsigned>(below(16))) + 4 * below(2)
                                          : pe.section_header_offset(below(pe.sections.size())) + 8 + 4 * below(4);
                const std::uint32_t choices[] = {0, 1, 0x7FFFFFFFu, 0xFFFFFFFFu, 0x1000, static_cast<std::uint32_t>(rng_()),
                                                 static_cast<std::uint32_t>(b.size())};
                put(b, at, choices[below(7)]);
                break;
            }
            case 5:  // random bytes anywhere
                for (std::size_t k = 0, n = 1 + below(16); k < n; ++k) {
                    std::size_t at = below(b.size());
                    if (at < b.size()) b[at] = static_cast<std::uint8_t>(rng_());
                }
                break;
            default:  // resource data entry sizes made huge
                put(b, t.rsrc_offset + 4 * below(t.rsrc_size / 4), static_cast<std::uint32_t>(0x10000000u + below(1u << 28)));
                break;
        }
    }

    void set_base(const Bytes& base) { base_ = base; }

private:
    void flip(Bytes& b, std::size_t at) {
        if (at < b.size()) b[at] ^= static_cast<std::uint8_t>(1u << below(8));
    }
    void put(Bytes& b, std::size_t at, std::uint32_t v) {
        if (at + 4 <= b.size()) qdstamp::put32(b, at, v);
    }
    std::mt19937 rng_;
    Bytes base_;
};

// What a stamped file must be, whatever its input looked like: the records
// read back; every section of the input keeps its place and its bytes (the
// rewritten resource section aside, and the old one, which may be zeroed);
// only the section holding the resources is named .rsrc.
void expect_sound_output(const Bytes& input, const qdstamp::PeImage& in_pe, const Bytes& output,
                         const qdstamp::Config& config) {
    const qdstamp::PeImage out_pe = qdstamp::parse_pe(output);
    int records = 0;
    for (const auto& r : qdstamp::read_resources(output, out_pe)) {
        if (!r.type.is(qdstamp::kRtRcData)) continue;
        ++records;
        EXPECT_EQ(r.data, qdstamp::record_data(config.records.at(r.name.id).text));
    }
    EXPECT_EQ(records, static_cast<int>(config.records.size()));

    const auto resource_section = out_pe.section_of_rva(out_pe.directories[qdstamp::kDirResource].rva);
    ASSERT_TRUE(resource_section);
    for (std::size_t i = 0; i < out_pe.sections.size(); ++i)
        EXPECT_EQ(out_pe.sections[i].name.rfind(".rsrc", 0) == 0, i == *resource_section) << out_pe.sections[i].name;
    for (std::size_t i = 0; i < in_pe.sections.size(); ++i) {
        const qdstamp::Section& a = in_pe.sections[i];
        const qdstamp::Section& b = out_pe.sections[i];
        if (i == *resource_section) continue;
        EXPECT_EQ(a.virtual_address, b.virtual_address);
        EXPECT_EQ(a.raw_pointer, b.raw_pointer);
        EXPECT_EQ(a.raw_size, b.raw_size);
        // Only the old resource section may change, and then only to zeros.
        const Bytes zeros(a.raw_size, 0);
        const bool old_resources = a.virtual_address == in_pe.directories[qdstamp::kDirResource].rva;
        EXPECT_TRUE(std::equal(input.begin() + a.raw_pointer, input.begin() + a.raw_pointer + a.raw_size, output.begin() + b.raw_pointer) ||
                    (old_resources && std::equal(zeros.begin(), zeros.end(), output.begin() + b.raw_pointer)))
            << "section " << i << " changed";
    }
}

// The in-process path of "build": parse, compose, rewrite, then check the
// result.  Returns nothing when the input was rejected.
std::optional<Bytes> stamp_and_verify(const Bytes& input, const qdstamp::Config& config) {
    try {
        const qdstamp::PeImage pe = qdstamp::parse_pe(input);
        auto resources = qdstamp::read_resources(input, pe);
        qdstamp::StampInputs in;
        in.config = &config;
        Bytes output = qdstamp::replace_resources(input, pe, qdstamp::stamped_resources(resources, in)).file;
        expect_sound_output(input, pe, output, config);
        return output;
    } catch (const qdstamp::Failure&) {
        return std::nullopt;
    }
}

TEST(Corruption, MutatedLaunchersAreRejectedCleanlyOrStampedCorrectly) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    qdtest::Scratch scratch;
    const std::string config_path = scratch.write("a.qdcfg", std::string(kConfig));
    // Two shapes: .rsrc followed by .reloc (a section is appended) and .rsrc
    // last (rewritten in place).
    const std::string restamped = scratch.path("restamped.exe");
    ASSERT_EQ(qdtest::run({"build", "--launcher", tiny, "--config", config_path, "--out", restamped}), 0);
    const std::vector<Bytes> bases = {qdtest::read(tiny), qdtest::read(restamped)};

    qdstamp::Diagnostics diags;
    const qdstamp::Config config = qdstamp::parse_config(kConfig, "a.qdcfg", diags);
    Mutator mutator(kSeed);
    int accepted = 0, rejected = 0;
    for (const Bytes& base : bases) {
        const Target target = locate(base);
        mutator.set_base(base);
        for (int i = 0; i < kMutationsPerBase; ++i) {
            Bytes input = base;
            mutator.mutate(input, target);
            if (mutator.below(4) == 0) mutator.mutate(input, target);
            const bool ok = stamp_and_verify(input, config).has_value();
            ok ? ++accepted : ++rejected;
            if (i % kCliEvery == 0) {
                // Through the command line: a rejected input leaves no output
                // and no temporary file.
                const std::string in_path = scratch.write("in.exe", input), out_path = scratch.path("out.exe");
                std::string err;
                const int code = qdtest::run({"build", "--launcher", in_path, "--config", config_path, "--out", out_path}, nullptr, &err);
                EXPECT_EQ(code, ok ? 0 : 1) << err;
                if (code != 0) {
                    EXPECT_EQ(err.rfind("error: " + in_path + ": ", 0), 0u) << err;
                    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"a.qdcfg", "in.exe", "restamped.exe"}));
                }
                std::remove(out_path.c_str());
            }
            if (::testing::Test::HasFailure()) FAIL() << "stopped at mutation " << i;
        }
    }
    // Both outcomes must actually occur, or the mutations test nothing.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(rejected, 1000);
    std::cout << "corruption: " << accepted << " stamped, " << rejected << " rejected\n";
}

// Launchers shaped like the ones on which stamped output was once unsound.
struct OutputCase {
    const char* name;
    bool resources_last;  // start from a stamped file, whose resource section is the last one
    std::function<void(Bytes&, const qdstamp::PeImage&)> shape;
};

TEST(Corruption, OutputIsSoundAndGrowsOnlyOnce) {
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (tiny.empty()) GTEST_SKIP() << "no MinGW fixture";
    qdtest::Scratch scratch;
    // Stamped with more records than the cases stamp, so that a rewrite in
    // place changes the bytes of the old resource section.
    const std::string restamped = scratch.path("restamped.exe");
    const std::string bigger = std::string(kConfig) + "CFG_APP_ARGS = " + std::string(3000, 'x') + "\n";
    ASSERT_EQ(qdtest::run({"build", "--launcher", tiny, "--config", scratch.write("a.qdcfg", bigger), "--out", restamped}), 0);
    qdstamp::Diagnostics diags;
    const qdstamp::Config config = qdstamp::parse_config(kConfig, "a.qdcfg", diags);

    const std::vector<OutputCase> cases = {
        // objdump, llvm-readobj and strip go by the section name: a second
        // .rsrc made them read (or keep) the stale resources.
        {"old resource section before .reloc", false, [](Bytes&, const qdstamp::PeImage&) {}},
        // Replacing in place cut off the other section's data.
        {"another section's data inside the resource section", true,
         [](Bytes& b, const qdstamp::PeImage& pe) {
             const qdstamp::Section& last = pe.sections.back();
             std::size_t other = 0;
             while (pe.sections[other].raw_size == 0) ++other;
             qdstamp::put32(b, pe.section_header_offset(other) + 16, pe.file_alignment);
             qdstamp::put32(b, pe.section_header_offset(other) + 20, last.raw_pointer);
         }},
        // The loader reads the TLS directory by its own size; the garbage
        // Size made every restamp append a section.
        {"garbage TLS directory size", false,
         [](Bytes& b, const qdstamp::PeImage& pe) { qdstamp::put32(b, pe.directory_offset(qdstamp::kDirTls) + 4, 0xFFFFFF27u); }},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes input = qdtest::read(c.resources_last ? restamped : tiny);
        c.shape(input, qdstamp::parse_pe(input));
        const auto once = stamp_and_verify(input, config);
        ASSERT_TRUE(once);
        const auto twice = stamp_and_verify(*once, config);
        ASSERT_TRUE(twice);
        EXPECT_EQ(twice->size(), once->size());
        EXPECT_EQ(qdstamp::parse_pe(*twice).sections.size(), qdstamp::parse_pe(*once).sections.size());
    }
}

}  // namespace
