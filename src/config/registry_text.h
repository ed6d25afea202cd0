// Reading a registry string value without trusting what is stored: the data
// lands in a local buffer and counts only when it is a string value that fits
// and ends with its terminating zero.
#pragma once

#include <windows.h>
#include <stddef.h>

// Registry string values are read into this many UTF-16 units (1024 bytes).
enum : size_t { REGISTRY_TEXT_CAPACITY = 512 };

// Whether `size` bytes of `data` stored with `type` are a usable string value:
// REG_SZ or REG_EXPAND_SZ, a whole number of UTF-16 units, and a zero unit
// within the data. On true, *length is the number of units before the first
// zero unit. Pure: inspects the bytes only.
bool registryDataIsText(DWORD type, const wchar_t* data, DWORD size, size_t* length);

// Queries `valueName` of an open key into `text` (REGISTRY_TEXT_CAPACITY
// units). True with the text terminated when the value is a usable string
// (see above); false, with `text` empty, for a missing value, one of another
// type, one larger than the buffer or one stored without its terminator.
// `storedType`, when given, receives REG_SZ or REG_EXPAND_SZ on true.
bool queryRegistryText(HKEY key, const wchar_t* valueName, wchar_t (&text)[REGISTRY_TEXT_CAPACITY],
                       DWORD* storedType = nullptr);
