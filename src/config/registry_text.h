// Reading a registry string value without trusting what is stored: the data
// lands in a local buffer and counts only when it is a string value that fits.
#pragma once

#include <windows.h>
#include <stddef.h>

// Registry string values are read into this many UTF-16 units (1024 bytes).
enum : size_t { REGISTRY_TEXT_CAPACITY = 512 };

// Whether `size` bytes of `data` stored with `type` are a usable string value:
// REG_SZ or REG_EXPAND_SZ and a whole number of UTF-16 units. On true,
// *length is the number of units before the first zero unit, or all of them
// when the value was stored without its terminator (the system does not
// require one). Pure: inspects the bytes only.
bool registryDataIsText(DWORD type, const wchar_t* data, DWORD size, size_t* length);

// Queries `valueName` of an open key into `text` (REGISTRY_TEXT_CAPACITY
// units). True with the text terminated when the value is a usable string
// (see above) that fits with its terminator; false, with `text` empty, for a
// missing value, one of another type or one larger than the buffer.
// `storedType`, when given, receives REG_SZ or REG_EXPAND_SZ on true.
bool queryRegistryText(HKEY key, const wchar_t* valueName, wchar_t (&text)[REGISTRY_TEXT_CAPACITY],
                       DWORD* storedType = nullptr);

// A value read as above, into `out` (`capacity` units): a REG_EXPAND_SZ one
// with its %NAME% references expanded, a REG_SZ one as it is. False, with
// `out` empty, when the result does not fit.
bool expandRegistryText(const wchar_t* stored, DWORD type, wchar_t* out, size_t capacity);
