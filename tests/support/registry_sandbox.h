// Registry keys and values that a test creates in the 64-bit view and removes
// again: every key the sandbox had to create is deleted with its subtree, and
// every value it set in a key that already existed is deleted, so a test
// leaves the registry as it found it, also when it fails half-way.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testreg {

class RegistrySandbox {
public:
    RegistrySandbox() = default;
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;
    ~RegistrySandbox() { removeAll(); }

    // Creates root\path (and every missing key above it).
    bool createKey(HKEY root, const std::wstring& path) {
        HKEY key = openOrCreate(root, path);
        if (key == nullptr) return false;
        RegCloseKey(key);
        return true;
    }

    bool setString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value,
                   DWORD type = REG_SZ) {
        return setRaw(root, path, name, type, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

    bool setDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
        return setRaw(root, path, name, REG_DWORD, &value, sizeof value);
    }

    // Stores exactly `size` bytes of `data` with `type`.
    bool setRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                DWORD size) {
        bool existed = keyExists(root, path);
        HKEY key = openOrCreate(root, path);
        if (key == nullptr) return false;
        LSTATUS status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, type,
                                        static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
        if (existed) values.push_back({root, path, name});
        return status == ERROR_SUCCESS;
    }

    // Deletes what this sandbox created, newest first.
    void removeAll() {
        for (auto it = values.rbegin(); it != values.rend(); ++it) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(it->root, it->path.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) ==
                ERROR_SUCCESS) {
                RegDeleteValueW(key, it->name.empty() ? nullptr : it->name.c_str());
                RegCloseKey(key);
            }
        }
        values.clear();
        for (auto it = createdKeys.rbegin(); it != createdKeys.rend(); ++it) deleteTree(it->root, it->path);
        createdKeys.clear();
    }

    static bool keyExists(HKEY root, const std::wstring& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

private:
    struct Place {
        HKEY root;
        std::wstring path;
        std::wstring name;
    };

    HKEY openOrCreate(HKEY root, const std::wstring& path) {
        // Note the highest key that does not exist yet: deleting it removes all
        // that this call creates.
        for (size_t cut = path.find(L'\\');; cut = path.find(L'\\', cut + 1)) {
            std::wstring prefix = path.substr(0, cut);
            if (!keyExists(root, prefix)) {
                createdKeys.push_back({root, prefix, L""});
                break;
            }
            if (cut == std::wstring::npos) break;
        }
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return nullptr;
        }
        return key;
    }

    static void deleteTree(HKEY root, const std::wstring& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExW(root, path.c_str(), KEY_WOW64_64KEY, 0);
    }

    std::vector<Place> createdKeys;
    std::vector<Place> values;
};

} // namespace testreg
