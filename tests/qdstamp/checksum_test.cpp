// The PE checksum against hand-computed sums and against the checksum a
// signing tool writes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "pe_checksum.h"
#include "pe_image.h"
#include "test_support.h"

namespace {

using qdstamp::Bytes;

struct SumCase {
    const char* name;
    Bytes data;
    std::uint32_t field;     // checksum field offset
    std::uint32_t expected;  // computed by hand
};

TEST(PeChecksum, HandComputedSums) {
    const std::vector<SumCase> cases = {
        // 0x0201 + 0x0403 = 0x0604, plus the length 4.
        {"two words", {0x01, 0x02, 0x03, 0x04}, 100, 0x0608},
        // An odd last byte counts as a word with a zero high byte: 0x0201 + 0x0003 + 3.
        {"odd length", {0x01, 0x02, 0x03}, 100, 0x0207},
        // 0xFFFF + 0xFFFF = 0x1FFFE folds to 0xFFFF; plus 4.
        {"carry folds", {0xFF, 0xFF, 0xFF, 0xFF}, 100, 0x10003},
        // The four bytes at the field count as zero: 0xBBAA + 6.
        {"field ignored", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, 2, 0xBBB0},
        // Field at an odd offset zeroes bytes 1..4: words 0x00AA, 0x0000, 0xFF00, + 6.
        {"field at odd offset", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, 1, 0x00AA + 0xFF00 + 6},
        {"empty", {}, 0, 0},
    };
    for (const SumCase& c : cases) EXPECT_EQ(qdstamp::pe_checksum(c.data, c.field), c.expected) << c.name;
}

TEST(PeChecksum, AgreesWithTheChecksumWrittenBySigning) {
    const std::string osslsigncode = QDSTAMP_OSSLSIGNCODE, openssl = QDSTAMP_OPENSSL;
    const std::string tiny = qdtest::fixture("tiny.exe");
    if (osslsigncode.empty() || openssl.empty() || tiny.empty()) GTEST_SKIP() << "needs osslsigncode, openssl and the MinGW fixture";
    qdtest::Scratch scratch;
    const std::string key = scratch.path("key.pem"), cert = scratch.path("cert.pem");
    const std::string stamped = scratch.path("stamped.exe"), signed_exe = scratch.path("signed.exe");
    ASSERT_EQ(qdtest::run({"build", "--launcher", tiny, "--config", scratch.write("a.qdcfg", qdtest::config_with("")), "--out", stamped}), 0);
    std::string make_cert = openssl + " req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=qdstamp-test -keyout " + key +
                            " -out " + cert + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(make_cert.c_str()), 0);
    std::string sign = osslsigncode + " sign -certs " + cert + " -key " + key + " -in " + stamped + " -out " + signed_exe + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(sign.c_str()), 0);

    const Bytes file = qdtest::read(signed_exe);
    const qdstamp::PeImage pe = qdstamp::parse_pe(file);
    ASSERT_NE(pe.checksum, 0u);
    EXPECT_EQ(qdstamp::pe_checksum(file, pe.checksum_offset()), pe.checksum);

    // The signed result cannot be stamped again.
    std::string err;
    EXPECT_EQ(qdtest::run({"build", "--launcher", signed_exe, "--config", scratch.path("a.qdcfg"), "--out", scratch.path("x.exe")}, nullptr, &err), 1);
    EXPECT_NE(err.find("the file is signed"), std::string::npos) << err;
    EXPECT_FALSE(qdtest::exists(scratch.path("x.exe")));
}

}  // namespace
