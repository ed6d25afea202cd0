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

uint16_t machineOf(const std::string& bytes, size_t size, bool* read) {
    uint16_t machine = 0;
    *read = readPeMachine(reinterpret_cast<const unsigned char*>(bytes.data()), size, &machine);
    return machine;
}

TEST(ProgramMachine, ReadFromTheFileHeaderOnlyWhenItIsThere) {
    for (uint16_t machine : {IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_ARM64, IMAGE_FILE_MACHINE_I386}) {
        bool read = false;
        EXPECT_EQ(machine, machineOf(e2e::standInBuiltFor(machine), 1024, &read));
        EXPECT_TRUE(read);
    }
    const std::string program = e2e::standInBuiltFor(IMAGE_FILE_MACHINE_AMD64);
    uint32_t header = 0;
    memcpy(&header, program.data() + 0x3C, sizeof header);
    for (size_t size = 0; size <= header + 6; ++size) { // the machine field ends 6 bytes after "PE\0\0"
        bool read = false;
        machineOf(program, size, &read);
        EXPECT_EQ(size == header + 6, read) << "cut at " << size;
    }
    for (const std::string& other : {program.substr(0, header) + "NE" + program.substr(header + 2),
                                     std::string("JAVA_VERSION=\"17\"\n")}) {
        bool read = true;
        machineOf(other, other.size(), &read);
        EXPECT_FALSE(read);
    }
}

} // namespace
