// What a later start hands over and what the application reads for it: the
// running launcher's check of a request, the endpoint's name, and the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/forward_protocol.h"

namespace {

// The whole line for `fields`, encoded in pieces of at most `capacity` bytes.
std::string line(const std::wstring& fields, size_t capacity = 4096) {
    std::string out;
    size_t position = 0;
    std::vector<char> piece(capacity);
    while (position < fields.size()) {
        size_t before = position;
        size_t bytes = encodeForwardLine(fields.data(), fields.size(), &position, piece.data(), capacity);
        EXPECT_LE(bytes, capacity);
        if (position == before) break;
        out.append(piece.data(), bytes);
    }
    return out;
}

// Fields are given with '|' for the zero unit that ends each.
std::wstring fields(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'|') c = 0;
    }
    return text;
}

TEST(ForwardLine, FieldsArePercentEncodedUtf8JoinedByTabs) {
    struct Case {
        const wchar_t* fields;
        const char* line;
    };
    const Case cases[] = {
        {L"C:\\Docs|", "C:\\Docs\n"},                      // a start without arguments
        {L"C:\\Docs|a.txt|b c|", "C:\\Docs\ta.txt\tb%20c\n"},
        {L"d||x|", "d\t\tx\n"},                              // an empty argument
        {L"AZaz09-._~:/\\|", "AZaz09-._~:/\\\n"},
        {L"%+\t\n\"'&=?#;,|", "%25%2B%09%0A%22%27%26%3D%3F%23%3B%2C\n"},
        {L"\u00E9\u65E5|", "%C3%A9%E6%97%A5\n"},
        {L"\U0001F600|", "%F0%9F%98%80\n"},
        {L"\xD83Dx\xDE00|\xD83D|", "%EF%BF%BDx%EF%BF%BD\t%EF%BF%BD\n"}, // halves of a pair alone
        {L"\x7F\x80|", "%7F%C2%80\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.line, line(fields(c.fields))) << c.line;
}

TEST(ForwardLine, PiecesOfAnySizeMakeTheSameLine) {
    std::wstring text = fields(L"C:\\Users\\\u00FC\\Docs|\U0001F600 \u00E9|plain-text|");
    std::string whole = line(text);
    const size_t step = FORWARD_LINE_STEP_BYTES;
    for (size_t capacity : {step, step + 1, step * 2 + 1, size_t{64}}) {
        EXPECT_EQ(whole, line(text, capacity)) << capacity;
    }
}

// A request as a later start sends it, with the lengths it claims (the
// texts' own unless given), and how many of its bytes arrive: all but `cut`.
struct Sent {
    std::vector<DWORD> words;
    size_t size;
};
Sent request(const std::wstring& directory, const std::wstring& arguments, size_t cut = 0, DWORD magic = 0,
             long directoryLength = -1, long argumentLength = -1) {
    ForwardRequestHeader header = {magic != 0 ? magic : static_cast<DWORD>(FORWARD_REQUEST_MAGIC),
                                   static_cast<DWORD>(directoryLength >= 0 ? directoryLength : directory.size()),
                                   static_cast<DWORD>(argumentLength >= 0 ? argumentLength : arguments.size())};
    std::wstring texts = directory + arguments;
    std::vector<DWORD> words(3 + (texts.size() + 1) / 2);
    memcpy(words.data(), &header, sizeof header);
    memcpy(words.data() + 3, texts.data(), texts.size() * sizeof(wchar_t));
    return {words, sizeof header + texts.size() * sizeof(wchar_t) - cut};
}

TEST(ForwardRequestCheck, TakesWellFormedRequestsOnly) {
    const std::wstring longestDirectory(259, L'd');
    const std::wstring longestArguments(32767, L'a');
    struct Case {
        const char* name;
        Sent sent;
        bool wellFormed;
    };
    const Case cases[] = {
        {"plain", request(L"C:\\Docs", L"a.txt b"), true},
        {"no arguments", request(L"C:\\", L""), true},
        {"longest", request(longestDirectory, longestArguments), true},
        {"too short for a header", request(L"C:\\", L"", 7), false}, // the directory and a byte of the header
        {"another magic", request(L"C:\\", L"x", 0, 0x12345678), false},
        {"no working directory", request(L"", L"x"), false},
        {"directory too long", request(longestDirectory + L"d", L""), false},
        {"arguments too long", request(L"C:\\", longestArguments + L"a"), false},
        {"a unit more than the lengths say", request(L"C:\\", L"xy", 0, 0, 3, 1), false},
        {"a byte less", request(L"C:\\", L"xy", 1), false},
        {"lengths beyond the data", request(L"C:\\", L"x", 0, 0, 3, 0x7FFFFFFF), false},
        {"zero in the directory", request(std::wstring(L"C:\0x", 4), L"x"), false},
        {"zero in the arguments", request(L"C:\\", std::wstring(L"a\0b", 3)), false},
    };
    for (const Case& c : cases) {
        ForwardRequest parts = {};
        EXPECT_EQ(c.wellFormed, checkForwardRequest(c.sent.words.data(), c.sent.size, &parts)) << c.name;
    }
}

TEST(EndpointName, ComesFromTheSessionAndTheMutexName) {
    wchar_t name[257];
    ASSERT_TRUE(composeEndpointName(name, 1, L"ExampleLtd.MyApp"));
    EXPECT_STREQ(L"\\\\.\\pipe\\qdlauncher-forward-1-ExampleLtd.MyApp", name);
    // A pipe name holds no backslash; no two mutex names may share a pipe.
    ASSERT_TRUE(composeEndpointName(name, 4294967295ul, L"Local\\App%1"));
    EXPECT_STREQ(L"\\\\.\\pipe\\qdlauncher-forward-4294967295-Local%5CApp%251", name);
    ASSERT_TRUE(composeEndpointName(name, 0, L"Local%5CApp"));
    EXPECT_STREQ(L"\\\\.\\pipe\\qdlauncher-forward-0-Local%255CApp", name);
    // Pipe names end at 256 characters.
    EXPECT_TRUE(composeEndpointName(name, 1, std::wstring(75, L'\\').c_str()));
    EXPECT_FALSE(composeEndpointName(name, 1, std::wstring(76, L'\\').c_str()));
}

} // namespace
