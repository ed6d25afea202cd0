// Restart on request: which codes may ask for it, when the launcher follows
// the request, and the saved environment that each restart starts from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/restart.h"
#include "runtime/runtime_env.h"

namespace {

TEST(Restart, OnlyCodesNoOtherEndGivesCanAskForIt) {
    for (int usable : {2, 23, 129, 131, 142, 144, 255}) EXPECT_EQ(static_cast<DWORD>(usable), usableRestartCode(usable));
    for (int refused : {0, 1, 130, 143, 256, 259, -1, -1073741819}) EXPECT_EQ(0u, usableRestartCode(refused)) << refused;
}

// The request itself, the code passing through and the bound of quick
// restarts are shown end to end; here what the launcher cannot be made to
// meet there.
TEST(Restart, RequestRefusedWhenSomethingSpeaksAgainstIt) {
    const ULONGLONG quick = QUICK_RUN_MS - 1;
    const struct {
        const char* why;
        RestartHistory before;
        ChildEnd end;
        RestartVerdict verdict;
        int quickRestartsAfter;
    } cases[] = {
        {"restarts off", {0, true, 0}, {23, quick, false, false}, RESTART_NOT_ASKED, 0},
        {"asked after a report", {23, true, 0}, {23, quick, true, false}, RESTART_AFTER_REPORT, 0},
        {"capture still running", {23, true, 0}, {23, quick, false, true}, RESTART_CAPTURE_HELD, 0},
        {"no saved environment", {23, false, 0}, {23, quick, false, false}, RESTART_NO_ENVIRONMENT, 0},
        {"a longer run starts the count anew", {23, true, QUICK_RESTARTS_MAX}, {23, QUICK_RUN_MS, false, false},
         RESTART_GO, 0},
    };
    for (const auto& c : cases) {
        RestartHistory history = c.before;
        EXPECT_EQ(c.verdict, judgeRestart(history, c.end)) << c.why;
        EXPECT_EQ(c.quickRestartsAfter, history.quickRestarts) << c.why;
    }
}

TEST(Restart, EnvironmentBlockEntries) {
    const wchar_t block[] = L"=C:=C:\\dir\0Path=C:\\a;C:\\b\0EMPTY=\0Odd\0x=1=2\0";
    std::vector<std::wstring> names, values;
    const wchar_t* cursor = block;
    EnvironmentEntry entry;
    while (nextEnvironmentEntry(&cursor, &entry)) {
        names.emplace_back(entry.name, entry.nameLength);
        values.emplace_back(entry.value);
        ASSERT_LE(names.size(), 10u) << "the scan must end";
    }
    EXPECT_EQ((std::vector<std::wstring>{L"=C:", L"Path", L"EMPTY", L"Odd", L"x"}), names);
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\dir", L"C:\\a;C:\\b", L"", L"", L"1=2"}), values);
    EXPECT_EQ(std::wstring(L"C:\\a;C:\\b"), findEnvironmentValue(block, L"PATH", 4)) << "names in any case";
    EXPECT_EQ(nullptr, findEnvironmentValue(block, L"Pat", 3));
}

std::wstring variable(const wchar_t* name) {
    wchar_t value[64] = {};
    return GetEnvironmentVariableW(name, value, 64) == 0 ? L"(none)" : value;
}

// A variable set since the save goes, one removed comes back, one changed gets its value again.
TEST(Restart, SavedEnvironmentComesBackWhole) {
    const wchar_t* const names[] = {L"QDU_ADDED", L"QDU_REMOVED", L"QDU_CHANGED"};
    const wchar_t* const before[] = {nullptr, L"start", L"start"};
    const wchar_t* const after[] = {L"new", nullptr, L"start;changed"};
    for (int i = 0; i < 3; ++i) SetEnvironmentVariableW(names[i], before[i]);
    ASSERT_TRUE(saveEnvironment());
    for (int i = 0; i < 3; ++i) SetEnvironmentVariableW(names[i], after[i]);
    ASSERT_TRUE(restoreEnvironment());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(before[i] != nullptr ? before[i] : L"(none)", variable(names[i]));
        SetEnvironmentVariableW(names[i], nullptr);
    }
}

} // namespace
