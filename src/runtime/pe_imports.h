// What a program file's headers say, read from its bytes: the names of the
// DLLs it imports, and the machine it is built for.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Longest DLL name taken from an import table.
enum : size_t { IMPORT_NAME_MAX = 127 };

// Called with each imported DLL's name (ASCII, `length` characters, not
// terminated); returning false ends the walk.
typedef bool (*ImportVisitor)(const char* name, size_t length, void* context);

// Walks the import table of a PE file held as its file bytes (`size` of them),
// in table order. Returns true when the whole table was read (a file without
// imports included); false when the visitor stopped the walk or the file is not
// a PE file, holds a name longer than IMPORT_NAME_MAX, or points outside
// itself. Never reads past `size`. Pure.
bool forEachImportedDll(const unsigned char* file, size_t size, ImportVisitor visit, void* context);

// The machine field of a PE file's file header (IMAGE_FILE_MACHINE_AMD64,
// _ARM64, _I386, ...), from the first `size` bytes of the file. False when
// they do not hold a PE file's headers up to that field. Pure.
bool readPeMachine(const unsigned char* file, size_t size, uint16_t* machine);
