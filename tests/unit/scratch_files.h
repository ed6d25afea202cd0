// Small helpers for unit tests that touch files: a scratch folder per test and
// whole-file writes and reads.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "e2e_harness.h"

#include <string>
#include <vector>

namespace scratch {

inline std::wstring join(const std::wstring& a, const std::wstring& b) { return e2e::joinPath(a, b); }
inline bool writeBytes(const std::wstring& path, const std::string& bytes) { return e2e::writeFileBytes(path, bytes); }
inline std::string readBytes(const std::wstring& path) { return e2e::readFileBytes(path); }
using e2e::removeTree;

// %TEMP%\qdu\<Suite.Test>, empty at the start of the test and removed at its end.
class ScratchDir {
public:
    ScratchDir() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        std::wstring root = join(temp, L"qdu");
        CreateDirectoryW(root.c_str(), nullptr);
        path = join(root, std::wstring(name.begin(), name.end()));
        removeTree(path);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~ScratchDir() { removeTree(path); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::wstring operator/(const std::wstring& relative) const { return join(path, relative); }
    std::wstring path;
};

} // namespace scratch
