// The PE header reader: which DLLs a runtime's launcher loads (a program file
// cut anywhere never yields other names than the whole file), and which
// machine it is built for.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "e2e_harness.h"
#include "runtime/pe_imports.h"

namespace {

bool collect(const char* name, size_t length, void* names) {
    static_cast<std::vector<std::string>*>(names)->emplace_back(name, length);
    return true;
}

TEST(ImportedDlls, ACutFileNeverGivesOtherNames) {
    std::string program = e2e::readFileBytes(e2e::joinPath(e2e::testProgramDir(), L"fake_javaw_jli.exe"));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(program.data());
    std::vector<std::string> whole;
    ASSERT_TRUE(forEachImportedDll(bytes, program.size(), collect, &whole));
    EXPECT_EQ((std::vector<std::string>{"KERNEL32.dll", "msvcrt.dll", "USER32.dll", "jli.dll"}), whole);

    size_t refused = 0;
    for (size_t size = 0; size < program.size(); ++size) {
        std::vector<std::string> names;
        if (!forEachImportedDll(bytes, size, collect, &names)) {
            ++refused;
            continue;
        }
        ASSERT_EQ(whole, names) << "cut at " << size;
    }
    EXPECT_GT(refused, 0u) << "a file cut before its names end is refused";
}

TEST(ProgramMachine, ReadFromTheFileHeader) {
    const std::string x64 = e2e::standInBuiltFor(IMAGE_FILE_MACHINE_AMD64);
    uint32_t header = 0;
    ASSERT_GT(x64.size(), 0x40u);
    memcpy(&header, x64.data() + 0x3C, sizeof header);
    struct Row {
        const char* what;
        std::string bytes;
        bool ok;
        uint16_t machine;
    };
    const Row rows[] = {
        {"x64", x64, true, IMAGE_FILE_MACHINE_AMD64},
        {"ARM64", e2e::standInBuiltFor(IMAGE_FILE_MACHINE_ARM64), true, IMAGE_FILE_MACHINE_ARM64},
        {"x86", e2e::standInBuiltFor(IMAGE_FILE_MACHINE_I386), true, IMAGE_FILE_MACHINE_I386},
        {"ARM (32-bit)", e2e::standInBuiltFor(IMAGE_FILE_MACHINE_ARMNT), true, IMAGE_FILE_MACHINE_ARMNT},
        {"the headers alone", x64.substr(0, header + 6), true, IMAGE_FILE_MACHINE_AMD64},
        {"cut inside the machine field", x64.substr(0, header + 5), false, 0},
        {"cut before the signature ends", x64.substr(0, header + 3), false, 0},
        {"no PE signature", x64.substr(0, header) + std::string("NE\0\0", 4) + x64.substr(header + 4), false, 0},
        {"no MZ stub", "ZM" + x64.substr(2), false, 0},
        {"a text file", "JAVA_VERSION=\"17\"\n", false, 0},
        {"empty", "", false, 0},
    };
    for (const Row& row : rows) {
        uint16_t machine = 0;
        EXPECT_EQ(row.ok, readPeMachine(reinterpret_cast<const unsigned char*>(row.bytes.data()), row.bytes.size(),
                                        &machine))
            << row.what;
        EXPECT_EQ(row.machine, machine) << row.what;
    }
}

} // namespace
