#include "config/registry_text.h"

#include "core/bounded_text.h"

bool registryDataIsText(DWORD type, const wchar_t* data, DWORD size, size_t* length) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (size % sizeof(wchar_t) != 0) return false;
    size_t units = size / sizeof(wchar_t);
    size_t n = 0;
    while (n < units && data[n] != 0) ++n;
    *length = n;
    return true;
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
    // A value stored without its terminator is terminated here, when there is
    // room for one; whatever follows the data in the buffer is not ours.
    if (!registryDataIsText(type, data, size, &length) || length >= REGISTRY_TEXT_CAPACITY) return false;
    for (size_t i = 0; i < length; ++i) text[i] = data[i];
    text[length] = 0;
    if (storedType != nullptr) *storedType = type;
    return true;
}

bool expandRegistryText(const wchar_t* stored, DWORD type, wchar_t* out, size_t capacity) {
    if (type != REG_EXPAND_SZ) {
        if (copyText(out, capacity, stored)) return true;
        out[0] = 0;
        return false;
    }
    DWORD needed = ExpandEnvironmentStringsW(stored, out, static_cast<DWORD>(capacity));
    if (needed != 0 && needed <= capacity) return true;
    out[0] = 0;
    return false;
}
