// Randomized inputs for the text logic, each checked against a plain model of
// its rules and with canaries after every fixed capacity: nothing is ever
// written past a capacity, and the results hold their invariants.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "config/options_file.h"
#include "config/var_expansion.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "runtime/runtime_search.h"

namespace {

const wchar_t CANARY = 0xA5A5;
const size_t GUARD = 8;

std::wstring randomFrom(std::mt19937& random, const std::vector<std::wstring>& pieces, size_t count) {
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::wstring text;
    for (size_t i = 0; i < count; ++i) text += pieces[pick(random)];
    return text;
}

// A buffer of `capacity` units followed by a guard of canaries.
struct GuardedBuffer {
    std::vector<wchar_t> units;
    size_t capacity;
    explicit GuardedBuffer(size_t capacity_) : units(capacity_ + GUARD, CANARY), capacity(capacity_) {}
    bool guardIntact() const {
        for (size_t i = capacity; i < units.size(); ++i) {
            if (units[i] != CANARY) return false;
        }
        return true;
    }
};

// --- expandVars ----------------------------------------------------------

const std::wstring EXE_PATH = L"D:\\Apps\\Tool\\tool.exe";
const size_t EXE_DIR_LEN = 12;

// The expansion rules for names without registry references.
std::wstring modelValue(const std::wstring& name) {
    if (name.size() > VARIABLE_NAME_MAX) return L"";
    if (name == L"EXEDIR") return EXE_PATH.substr(0, EXE_DIR_LEN);
    if (name == L"EXEFILE") return EXE_PATH;
    if (name == L"OLDPWD") return oldCwd;
    if (name == L"PWD") {
        wchar_t current[MAX_PATH];
        DWORD n = GetCurrentDirectoryW(MAX_PATH, current);
        return std::wstring(current, n);
    }
    std::vector<wchar_t> value(32767);
    DWORD n = GetEnvironmentVariableW(name.c_str(), value.data(), 32767);
    return n > 0 && n < 32767 ? std::wstring(value.data(), n) : L"";
}

// Returns the expansion and whether the source ends with a sign without a partner.
std::pair<std::wstring, bool> modelExpansion(const std::wstring& source) {
    std::wstring out;
    size_t read = 0;
    while (read < source.size()) {
        size_t open = source.find(L'%', read);
        if (open == std::wstring::npos) return {out + source.substr(read), false};
        size_t close = source.find(L'%', open + 1);
        if (close == std::wstring::npos) return {out + source.substr(read), true};
        out += source.substr(read, open - read);
        out += close == open + 1 ? L"%" : modelValue(source.substr(open + 1, close - open - 1));
        read = close + 1;
    }
    return {out, false};
}

TEST(RandomizedExpansion, MatchesTheRulesAndNeverPassesTheCapacity) {
    resetLaunchState();
    copyText(oldCwd, PATH_CAPACITY, L"E:\\Users\\ann");
    SetEnvironmentVariableW(L"QDR_SHORT", L"-Xss2m");
    SetEnvironmentVariableW(L"QDR_LONG", std::wstring(3000, L'L').c_str());
    const std::vector<std::wstring> pieces = {
        L"a", L"b", L" ", L"%", L"%", L"EXEDIR", L"EXEFILE", L"PWD", L"OLDPWD", L"QDR_SHORT", L"QDR_LONG",
        L"UNSET_QDR", L"exedir", L"\\", L"-D", L"=", std::wstring(130, L'N'), L"\u00E9", L"\xD83D\xDE00",
    };
    std::mt19937 random(1209);
    std::uniform_int_distribution<size_t> pieceCount(0, 14);
    std::uniform_int_distribution<size_t> smallCapacity(1, 400);
    int overflowed = 0, unpaired = 0;
    for (int i = 0; i < 20000; ++i) {
        std::wstring source = randomFrom(random, pieces, pieceCount(random));
        size_t capacity = i % 4 == 0 ? LONG_TEXT_CAPACITY : smallCapacity(random);
        GuardedBuffer buffer(capacity);
        TextBuffer destination = emptyTextBuffer(buffer.units.data(), capacity);
        int result = expandVars(destination, source.c_str(), EXE_PATH.c_str(), EXE_DIR_LEN);

        ASSERT_TRUE(buffer.guardIntact()) << "case " << i;
        ASSERT_LT(destination.length, capacity);
        ASSERT_EQ(0, buffer.units[destination.length]);
        std::wstring produced(buffer.units.data(), destination.length);
        auto [expected, endsUnpaired] = modelExpansion(source);
        if (destination.overflowed) {
            ASSERT_EQ(0, result);
            // Cut cleanly: what stands is the start of the full expansion, at
            // most one unit short of the capacity (never half a surrogate pair).
            ASSERT_EQ(0u, expected.rfind(produced, 0)) << "case " << i;
            ASSERT_GE(produced.size() + 2, capacity);
            ++overflowed;
        } else {
            ASSERT_EQ(expected, produced) << "case " << i;
            ASSERT_EQ(1, result) << "case " << i;
            unpaired += endsUnpaired ? 1 : 0;
        }
    }
    // The inputs often fill the destination, and often end with a lone sign.
    EXPECT_GT(overflowed, 1000);
    EXPECT_GT(unpaired, 1000);
}

// --- the options-file filter --------------------------------------------

std::wstring modelOptions(std::wstring options, const std::string& bytes) {
    bool copying = true;
    bool any = false;
    for (unsigned char byte : bytes) {
        if (byte == 0x1A || byte == 0) break;
        any = true;
        if (byte == '#') {
            copying = false;
        } else if (byte == '\r' || byte == '\n') {
            copying = true;
            if (!options.empty() && options.back() != L' ') options += L' ';
        } else if (copying) {
            options += static_cast<wchar_t>(byte);
        }
    }
    if (any && !options.empty() && options.back() != L' ') options += L' ';
    return options;
}

TEST(RandomizedOptionsFilter, MatchesTheLineRulesAndStaysInItsBuffer) {
    const std::vector<std::string> pieces = {"#", "\r", "\n", "\r\n", " ", "\t", "-Da=1", "x", "\xE9",
                                             std::string(1, '\x1A'), std::string(1, '\0'), "%EXEDIR%"};
    std::mt19937 random(2303);
    std::uniform_int_distribution<size_t> pieceCount(0, 30);
    std::uniform_int_distribution<size_t> smallCapacity(1, 80);
    int overflowed = 0;
    for (int i = 0; i < 30000; ++i) {
        std::string bytes;
        size_t count = pieceCount(random);
        for (size_t k = 0; k < count; ++k) bytes += pieces[std::uniform_int_distribution<size_t>(0, 11)(random)];
        std::wstring configured = i % 3 == 0 ? L"" : L"-Dcfg=1 ";
        size_t capacity = i % 2 == 0 ? LONG_TEXT_CAPACITY : configured.size() + smallCapacity(random);
        GuardedBuffer buffer(capacity);
        TextBuffer options = emptyTextBuffer(buffer.units.data(), capacity);
        appendText(options, configured.c_str());
        appendOptionsText(options, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());

        ASSERT_TRUE(buffer.guardIntact()) << "case " << i;
        ASSERT_LT(options.length, capacity);
        std::wstring produced(buffer.units.data(), options.length);
        std::wstring expected = modelOptions(configured, bytes);
        if (options.overflowed) {
            ASSERT_EQ(0u, expected.rfind(produced, 0)) << "case " << i;
            ++overflowed;
        } else {
            ASSERT_EQ(expected, produced) << "case " << i;
        }
    }
    EXPECT_GT(overflowed, 1000);
}

// --- compareVersions ------------------------------------------------------

TEST(RandomizedVersionCompare, ReflexiveAntisymmetricAndInRange) {
    const std::vector<std::wstring> pieces = {L"1", L"8", L"0", L"17", L"202", L"99999999999", L".", L"_",
                                              L"-", L"a", L"u", L"ea", L" ", L"+", L".."};
    std::mt19937 random(8);
    std::uniform_int_distribution<size_t> pieceCount(1, 8);
    for (int i = 0; i < 40000; ++i) {
        std::wstring a = randomFrom(random, pieces, pieceCount(random));
        std::wstring b = randomFrom(random, pieces, pieceCount(random));
        int ab = compareVersions(a.c_str(), b.c_str());
        ASSERT_TRUE(ab == -1 || ab == 0 || ab == 1);
        ASSERT_EQ(-ab, compareVersions(b.c_str(), a.c_str())) << "case " << i;
        ASSERT_EQ(0, compareVersions(a.c_str(), a.c_str()));
    }
}

} // namespace
