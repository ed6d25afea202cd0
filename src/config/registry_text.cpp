#include "config/registry_text.h"

bool registryDataIsText(DWORD type, const wchar_t* data, DWORD size, size_t* length) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (size % sizeof(wchar_t) != 0) return false;
    size_t units = size / sizeof(wchar_t);
    for (size_t i = 0; i < units; ++i) {
        if (data[i] == 0) {
            *length = i;
            return true;
        }
    }
    // No terminator inside the data: whatever follows it in memory is not ours.
    return false;
}

bool queryRegistryText(HKEY key, const wchar_t* valueName, wchar_t (&text)[REGISTRY_TEXT_CAPACITY],
                       DWORD* storedType) {
    wchar_t data[REGISTRY_TEXT_CAPACITY];
    DWORD type = REG_NONE;
    DWORD size = sizeof data;
    text[0] = 0;
    LSTATUS status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    // ERROR_MORE_DATA (a value over 1024 bytes) leaves the buffer undefined.
    if (status != ERROR_SUCCESS || size > sizeof data) return false;
    size_t length = 0;
    if (!registryDataIsText(type, data, size, &length)) return false;
    for (size_t i = 0; i < length; ++i) text[i] = data[i];
    text[length] = 0;
    if (storedType != nullptr) *storedType = type;
    return true;
}
