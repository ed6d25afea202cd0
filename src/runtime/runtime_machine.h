// Which kind of computer a runtime's program is built for, and whether the
// launcher may start it. x86 never: a 32-bit runtime cannot reserve the heap
// sized for a 64-bit process. x64 always: every 64-bit Windows runs it, ARM64
// Windows by emulation. ARM64 only on an ARM64 computer and only when
// CFG_RUNTIME_MACHINES lists it: such a runtime cannot load an application's
// x64 native libraries, so the vendor says whether theirs has ARM64 ones.
// The record also orders the accepted machines, the first preferred.
#pragma once

#include <windows.h>
#include <stddef.h>

enum : WORD {
    MACHINE_UNKNOWN = 0,
    MACHINE_X86 = IMAGE_FILE_MACHINE_I386,
    MACHINE_X64 = IMAGE_FILE_MACHINE_AMD64,
    MACHINE_ARM64 = IMAGE_FILE_MACHINE_ARM64,
};
enum : size_t { RUNTIME_MACHINE_KINDS = 2 };

struct RuntimeMachines {
    WORD preferred[RUNTIME_MACHINE_KINDS]; // CFG_RUNTIME_MACHINES in its order
    size_t count;
    WORD computer; // the computer's own machine; MACHINE_UNKNOWN counts as x64
};

// Reads a ";"-separated list of x64 and arm64 (any case, blanks around a word
// allowed) into `machines->preferred`. False for an empty item, an unknown
// word (*repeated false) or a word given twice (*repeated true), with
// *badItem and *badLength naming it. Pure.
bool parseRuntimeMachines(const wchar_t* text, RuntimeMachines* machines, const wchar_t** badItem, size_t* badLength,
                          bool* repeated);

// Reads CFG_RUNTIME_MACHINES (absent: x64 only) and asks the system which
// machine this computer is. False, with the refusal in messageText, when the
// record is damaged or names something that is not a machine.
bool loadRuntimeMachines(RuntimeMachines* machines);

enum : int { MACHINE_REFUSED = -1 };
// How a program built for `machine` ranks: 0 for the most preferred, higher
// for the others (x64 comes after the listed machines when the record leaves
// it out). MACHINE_REFUSED when it must not be started, with *reason saying
// why ("its program is built for ..."; valid until the next call). Pure.
int rankRuntimeMachine(WORD machine, const RuntimeMachines& machines, const wchar_t** reason);

// " (ARM64)" after a runtime of a machine other than x64 in the log, else "".
const wchar_t* machineNote(WORD machine);

// Opens a runtime's program the way starting it would: a link is followed, so
// one whose target is gone is no program, and a folder is none either. True
// for a file, with *machine the machine its header names (MACHINE_UNKNOWN when
// the header cannot be read). False otherwise, with *error the failed open's
// code (0 when a folder or something else that is no file was found).
bool probeRuntimeProgram(const wchar_t* path, WORD* machine, DWORD* error);
