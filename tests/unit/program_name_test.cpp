// The argument text the launcher's own entry point hands to launcherMain: the
// command line less the program's name, as the MinGW start-up computed it.
#include <gtest/gtest.h>

#include <string>

#include "launch/program_name.h"

namespace {

std::string printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c < L' ') out += "\\x" + std::to_string(static_cast<int>(c));
        else out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return out;
}

TEST(SkipProgramName, LeavesWhatFollowsTheNameAndItsBlanks) {
    struct Row {
        const wchar_t* commandLine;
        const wchar_t* argumentText;
    };
    const Row rows[] = {
        {L"", L""},
        {L"   ", L""},
        {L"tool.exe", L""},
        {L"tool.exe a b", L"a b"},
        {L"tool.exe  a  b ", L"a  b "}, // blanks inside and after the arguments stay
        {L"tool.exe \t \r\n a", L"a"}, // every character up to the space is a blank
        {L"tool.exe\x01x y", L"x y"},
        {L"tool.exe\u00A0x y", L"y"}, // a no-break space is not
        {L"  tool.exe x", L"tool.exe x"}, // leading blanks: an empty name
        {L"\"C:\\My App\\tool.exe\" --qd-debug", L"--qd-debug"},
        {L"\"C:\\My App\\tool.exe\"--qd-debug x", L"x"}, // a closing quote does not end the name
        {L"C:\\\"My App\"\\tool.exe x", L"x"},
        {L"\"My\tApp\\tool.exe\" x", L"x"},
        {L"\"a\"\"b c\" d", L"d"},
        {L"\"C:\\My App\\tool.exe", L""}, // an unclosed quote: all of it is the name
        {L"\"tool.exe\" \"a b\" c", L"\"a b\" c"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(std::wstring(row.argumentText), skipProgramName(row.commandLine)) << printable(row.commandLine);
    }
}

} // namespace
