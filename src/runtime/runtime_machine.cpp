#include "runtime/runtime_machine.h"

#include "config/config_records.h"
#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "runtime/pe_imports.h"
#include "runtime/word_list.h"

namespace {

const wchar_t* const MACHINE_WORDS[RUNTIME_MACHINE_KINDS] = {L"x64", L"arm64"};
const WORD WORD_MACHINES[RUNTIME_MACHINE_KINDS] = {MACHINE_X64, MACHINE_ARM64};

// Real programs put their PE header within the first few hundred bytes.
const DWORD HEADER_READ_BYTES = 1024;

const size_t REASON_CAPACITY = 128;
wchar_t reasonText[REASON_CAPACITY];

typedef BOOL(WINAPI* IsWow64Process2Call)(HANDLE, USHORT*, USHORT*);

// IsWow64Process2 exists from Windows 10 1511 on; ARM64 Windows, the only
// one whose answer matters here, always has it. An x64 process emulated on
// ARM64 is not a WOW64 process: it learns the computer's machine only from
// the native machine this call reports.
WORD queryNativeMachine() {
    IsWow64Process2Call query = reinterpret_cast<IsWow64Process2Call>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process2")));
    USHORT process = 0;
    USHORT native = 0;
    if (query == nullptr || !query(GetCurrentProcess(), &process, &native)) return MACHINE_UNKNOWN;
    return native;
}

const wchar_t* computerName(const RuntimeMachines& machines) {
    return machines.computer == MACHINE_ARM64 ? L"ARM64" : L"x64";
}

} // namespace

bool parseRuntimeMachines(const wchar_t* text, RuntimeMachines* machines, const wchar_t** badItem, size_t* badLength,
                          bool* repeated) {
    machines->count = 0;
    *repeated = false;
    for (const wchar_t* cursor = text; cursor != nullptr;) {
        WordListItem item = nextWordListItem(&cursor, MACHINE_WORDS, RUNTIME_MACHINE_KINDS);
        *badItem = item.word;
        *badLength = item.length;
        if (item.index == RUNTIME_MACHINE_KINDS) return false;
        WORD machine = WORD_MACHINES[item.index];
        for (size_t i = 0; i < machines->count; ++i) {
            if (machines->preferred[i] == machine) {
                *repeated = true;
                return false;
            }
        }
        machines->preferred[machines->count++] = machine;
    }
    return true;
}

bool loadRuntimeMachines(RuntimeMachines* machines) {
    *machines = RuntimeMachines{{MACHINE_X64, MACHINE_UNKNOWN}, 1, queryNativeMachine()};
    wchar_t text[NAME_CAPACITY];
    if (!loadConfigString<CFG_RUNTIME_MACHINES>(text)) return !configFaulted();
    const wchar_t* badItem = nullptr;
    size_t badLength = 0;
    bool repeated = false;
    if (parseRuntimeMachines(text, machines, &badItem, &badLength, &repeated)) return true;
    wchar_t item[NAME_CAPACITY];
    copyTextN(item, NAME_CAPACITY, badItem, badLength);
    explainFailureAbout("The launcher's configuration is damaged: CFG_RUNTIME_MACHINES holds \"", item,
                        repeated ? "\" twice." : "\", which is not a machine (x64 or arm64).");
    return false;
}

int rankRuntimeMachine(WORD machine, const RuntimeMachines& machines, const wchar_t** reason) {
    bool arm64Computer = machines.computer == MACHINE_ARM64;
    if (machine == MACHINE_X64 || (machine == MACHINE_ARM64 && arm64Computer)) {
        for (size_t i = 0; i < machines.count; ++i) {
            if (machines.preferred[i] == machine) return static_cast<int>(i);
        }
        if (machine == MACHINE_X64) return static_cast<int>(machines.count);
        *reason = L"its program is built for ARM64, and this application accepts only x64 runtimes "
                  L"(CFG_RUNTIME_MACHINES)";
        return MACHINE_REFUSED;
    }
    if (machine == MACHINE_X86) {
        *reason = L"its program is built for x86, a 32-bit runtime, and the launcher starts only 64-bit runtimes";
    } else if (machine == MACHINE_UNKNOWN) {
        *reason = L"its program has no readable Windows program header";
    } else {
        TextBuffer b = emptyTextBuffer(reasonText, REASON_CAPACITY);
        appendText(b, "its program is built for ");
        if (machine == MACHINE_ARM64) {
            appendText(b, "ARM64");
        } else {
            appendText(b, "another kind of computer (machine type 0x");
            for (int shift = 12; shift >= 0; shift -= 4) appendChar(b, L"0123456789ABCDEF"[(machine >> shift) & 0xF]);
            appendChar(b, L')');
        }
        appendText(b, ", and this computer is ");
        appendText(b, computerName(machines));
        *reason = reasonText;
    }
    return MACHINE_REFUSED;
}

const wchar_t* machineNote(WORD machine) { return machine == MACHINE_ARM64 ? L" (ARM64)" : L""; }

bool probeRuntimeProgram(const wchar_t* path, WORD* machine, DWORD* error) {
    *machine = MACHINE_UNKNOWN;
    *error = 0;
    // Backup semantics open a folder too, so that it can be told apart from
    // a program that is missing; without FILE_FLAG_OPEN_REPARSE_POINT the
    // open follows links to their target. Reading the data is a right that
    // starting the program needs anyway.
    HANDLE file = CreateFileW(path, FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool isFile = GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    unsigned char header[HEADER_READ_BYTES];
    DWORD got = 0;
    uint16_t named = MACHINE_UNKNOWN;
    if (isFile && ReadFile(file, header, HEADER_READ_BYTES, &got, nullptr) && readPeMachine(header, got, &named)) {
        *machine = named;
    }
    CloseHandle(file);
    return isFile;
}
