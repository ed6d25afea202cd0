// The long-name check that keeps directory searches from acting on entries
// found only through their 8.3 short names (Wine makes no short names, so the
// check is tested here as a unit).
#include <gtest/gtest.h>

#include <string>

#include "core/name_pattern.h"

namespace {

std::string latin1(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

TEST(LongNameMatches, OnlyTheLongNameCounts) {
    struct Row {
        const wchar_t* name;
        const wchar_t* pattern;
        bool matches;
    };
    const Row rows[] = {
        // Found by the search through their short names (X~1.JAR, X~1.EXE), not their own.
        {L"x.jar_old", L"*.jar", false},
        {L"x.jar.bak", L"*.jar", false},
        {L"backup.exe1", L"*.exe", false},
        {L"app.jar", L"*.jar", true},
        {L"a.b.jar", L"*.jar", true},
        {L"\u00E9t\u00E9.jar", L"\u00C9T\u00C9*.JAR", true}, // case folded beyond ASCII too
        {L"lib-2.jar", L"lib-?.jar", true},
        {L"lib-22.jar", L"lib-?.jar", false},
        // Everything the search itself matches by the long name stays.
        {L"..", L"*", true},
        {L"README", L"*.*", true},
        {L"a", L"a.*", true},
    };
    for (const Row& row : rows) {
        std::wstring pattern = row.pattern;
        EXPECT_EQ(row.matches, longNameMatches(row.name, pattern.c_str(), pattern.size()))
            << latin1(row.name) << " / " << latin1(row.pattern);
    }
}

} // namespace
