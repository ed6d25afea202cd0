// Randomized corruption of real MinGW-built PE files: bit flips, truncations,
// resource offsets pointed outside or back at their own directory, damaged
// header fields.  Every input must either be rejected with a Failure or give
// an output that reads back with exactly the configured records; nothing may
// crash (the host build runs this under AddressSanitizer and UBSan), and a
// rejected build must not leave any file behind.
#include <gtest/gtest.h>

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

// The in-process path of "build": parse, compose, rewrite, then read the
// result back.  Returns false when the input was rejected.
bool stamp_and_verify(const Bytes& input, const qdstamp::Config& config) {
    try {
        const qdstamp::PeImage pe = qdstamp::parse_pe(input);
        auto resources = qdstamp::read_resources(input, pe);
        qdstamp::StampInputs in;
        in.config = &config;
        auto result = qdstamp::replace_resources(input, pe, qdstamp::stamped_resources(resources, in));
        const qdstamp::PeImage out_pe = qdstamp::parse_pe(result.file);
        int records = 0;
        for (const auto& r : qdstamp::read_resources(result.file, out_pe)) {
            if (!r.type.is(qdstamp::kRtRcData)) continue;
            ++records;
            EXPECT_EQ(r.data, qdstamp::record_data(config.records.at(r.name.id).text));
        }
        EXPECT_EQ(records, 2);
        return true;
    } catch (const qdstamp::Failure&) {
        return false;
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
            const bool ok = stamp_and_verify(input, config);
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

}  // namespace
