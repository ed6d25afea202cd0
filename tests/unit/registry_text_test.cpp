#include <gtest/gtest.h>

#include "config/registry_text.h"

namespace {

TEST(RegistryText, StringValuesEndAtTheirTerminatorOrTheirData) {
    const wchar_t text[] = L"C:\\jre\0tail";
    struct Row {
        DWORD type;
        DWORD size;
        bool ok;
        size_t length;
    };
    const Row rows[] = {
        {REG_SZ, sizeof text, true, 6},
        {REG_EXPAND_SZ, 7 * sizeof(wchar_t), true, 6},
        {REG_SZ, 6 * sizeof(wchar_t), true, 6},      // stored without its terminator: the data ends the text
        {REG_EXPAND_SZ, 3 * sizeof(wchar_t), true, 3},
        {REG_SZ, 7 * sizeof(wchar_t) - 1, false, 0}, // half a unit
        {REG_SZ, 0, true, 0},                        // no data at all: the empty text
        {REG_MULTI_SZ, sizeof text, false, 0},
        {REG_BINARY, sizeof text, false, 0},
        {REG_DWORD, 4, false, 0},
        {REG_NONE, sizeof text, false, 0},
    };
    for (const Row& row : rows) {
        size_t length = 99;
        EXPECT_EQ(row.ok, registryDataIsText(row.type, text, row.size, &length)) << row.type << " " << row.size;
        if (row.ok) {
            EXPECT_EQ(row.length, length);
        }
    }
    const wchar_t empty[] = L"";
    size_t length = 99;
    EXPECT_TRUE(registryDataIsText(REG_SZ, empty, sizeof empty, &length));
    EXPECT_EQ(0u, length);
}

} // namespace
