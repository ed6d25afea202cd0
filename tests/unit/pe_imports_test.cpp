// The import table reader that finds which DLLs a runtime's launcher loads:
// a program file cut anywhere never yields other names than the whole file.
#include <gtest/gtest.h>

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

} // namespace
