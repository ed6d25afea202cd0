// Randomized records of every length around every capacity a record is read
// with, stamped into a scratch module: the readers copy exactly what fits,
// refuse what does not, and never write past a capacity.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "core/launch_state.h"

namespace {

const size_t CAPACITIES[] = {10, 20, 128, 256, 260, 1024, 32767, 32768};
const wchar_t CANARY = 0xA5A5;
const size_t GUARD = 16;

std::wstring scratchModulePath(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name;
}

std::wstring testProgram() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

// A text of `length` non-zero units, surrogates included.
std::wstring randomText(std::mt19937& random, size_t length) {
    std::uniform_int_distribution<int> unit(1, 0xFFFF);
    std::wstring text(length, L'x');
    for (wchar_t& c : text) c = static_cast<wchar_t>(unit(random));
    return text;
}

struct Case {
    WORD id;
    std::wstring text;
    size_t capacity;
};

class RecordCapacityFuzz : public ::testing::Test {
protected:
    void TearDown() override {
        if (module != nullptr) FreeLibrary(module);
        DeleteFileW(path.c_str());
        resetLaunchState();
    }

    // Stamps the cases into a copy of this program and reads them from there.
    void load(const std::vector<Case>& cases) {
        path = scratchModulePath(L"qd-record-fuzz.bin");
        ASSERT_TRUE(CopyFileW(testProgram().c_str(), path.c_str(), FALSE));
        HANDLE update = BeginUpdateResourceW(path.c_str(), TRUE);
        ASSERT_NE(nullptr, update);
        for (const Case& c : cases) {
            std::wstring data = c.text + L'\0';
            ASSERT_TRUE(UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(c.id), 0x0400, &data[0],
                                        static_cast<DWORD>(data.size() * sizeof(wchar_t))));
        }
        ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, module);
        resetLaunchState();
        moduleHandle = module;
    }

    std::wstring path;
    HMODULE module = nullptr;
};

TEST_F(RecordCapacityFuzz, StringReadsCopyWhatFitsAndRefuseTheRest) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 16; ++round) {
        std::vector<Case> cases;
        WORD id = 1;
        for (size_t capacity : CAPACITIES) {
            // At, one below and one above the largest text that fits, and random lengths.
            for (size_t length : {capacity - 2, capacity - 1, capacity}) {
                cases.push_back({id++, randomText(random, length), capacity});
            }
            std::uniform_int_distribution<size_t> anyLength(0, capacity + 8);
            for (int i = 0; i < (capacity > 2000 ? 8 : 300); ++i) {
                cases.push_back({id++, randomText(random, anyLength(random)), capacity});
            }
        }
        load(cases);
        static std::vector<wchar_t> buffer;
        for (const Case& c : cases) {
            buffer.assign(c.capacity + GUARD, CANARY);
            configFaultRecord = 0;
            int copied = loadConfigString(c.id, buffer.data(), c.capacity);
            bool fits = c.text.size() < c.capacity;
            ASSERT_EQ(fits ? 1 : 0, copied) << "id " << c.id << " length " << c.text.size() << " capacity "
                                           << c.capacity;
            if (fits) {
                ASSERT_EQ(0, c.text.compare(0, std::wstring::npos, buffer.data(), c.text.size()));
                ASSERT_EQ(0, buffer[c.text.size()]);
            } else {
                ASSERT_EQ(CANARY, buffer[0]) << "a refused record leaves the buffer untouched";
                ASSERT_EQ(c.id, configFaultRecord);
            }
            for (size_t i = c.capacity; i < c.capacity + GUARD; ++i) ASSERT_EQ(CANARY, buffer[i]);
        }
        FreeLibrary(module);
        module = nullptr;
    }
}

TEST_F(RecordCapacityFuzz, BooleanAndIntegerReadsRefuseTextsBeyondNineteenCharacters) {
    std::mt19937 random(7);
    std::vector<Case> cases;
    std::uniform_int_distribution<int> digit(0, 9);
    for (WORD id = 1; id <= 3000; ++id) {
        size_t length = id % 24;
        std::wstring text;
        for (size_t i = 0; i < length; ++i) text.push_back(static_cast<wchar_t>(L'0' + digit(random)));
        cases.push_back({id, text, 20});
    }
    cases.push_back({3001, L"true", 20});
    load(cases);
    for (const Case& c : cases) {
        configFaultRecord = 0;
        int value = loadConfigInt(c.id);
        if (c.text.size() >= 20) {
            EXPECT_EQ(0, value);
            EXPECT_EQ(c.id, configFaultRecord);
        } else {
            EXPECT_EQ(parseConfigInt(c.text.c_str()), value);
            EXPECT_EQ(0, configFaultRecord);
        }
        EXPECT_EQ(c.id == 3001 ? 1 : 0, loadConfigBool(c.id));
    }
}

} // namespace
