#include "config/var_expansion.h"

#include "config/registry_text.h"
#include "core/launch_state.h"
#include "diag/debug_log.h"

namespace {

// The name of the reference being expanded, kept whole for the log line even
// when it is too long to be looked up.
wchar_t nameText[LONG_TEXT_CAPACITY];
// One environment variable's value: the largest the system can hold.
const DWORD ENVIRONMENT_VALUE_CAPACITY = 32767;
wchar_t environmentValue[ENVIRONMENT_VALUE_CAPACITY];

struct RootName {
    const wchar_t* name;
    HKEY root;
};

const RootName ROOT_NAMES[] = {
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKEY_USERS", HKEY_USERS},
    {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

const wchar_t* findChar(const wchar_t* text, wchar_t c) {
    for (; *text != 0; ++text) {
        if (*text == c) return text;
    }
    return nullptr;
}

void appendCurrentDirectory(TextBuffer& destination) {
    wchar_t current[PATH_CAPACITY];
    DWORD length = GetCurrentDirectoryW(PATH_CAPACITY, current);
    // 0 is a failure; PATH_CAPACITY or more is the size a longer directory would
    // need, and the buffer then holds nothing usable.
    if (length == 0 || length >= PATH_CAPACITY) return;
    appendTextN(destination, current, length);
}

void appendEnvironmentValue(TextBuffer& destination, const wchar_t* name) {
    DWORD length = GetEnvironmentVariableW(name, environmentValue, ENVIRONMENT_VALUE_CAPACITY);
    if (length == 0 || length >= ENVIRONMENT_VALUE_CAPACITY) return;
    appendTextN(destination, environmentValue, length);
}

bool openRegistryKey(HKEY root, const wchar_t* keyPath, HKEY* key) {
    // A 32-bit launcher on a 64-bit system would otherwise be redirected to the
    // 32-bit view; ask for the 64-bit one first and fall back to the default.
    if (isWow64 && RegOpenKeyExW(root, keyPath, 0, KEY_READ | KEY_WOW64_64KEY, key) == ERROR_SUCCESS) return true;
    return RegOpenKeyExW(root, keyPath, 0, KEY_READ, key) == ERROR_SUCCESS;
}

void appendRegistryValue(TextBuffer& destination, const wchar_t* name) {
    RegistryReference reference;
    if (!splitRegistryReference(name, &reference)) return;
    HKEY key = nullptr;
    if (!openRegistryKey(reference.root, reference.keyPath, &key)) return;
    wchar_t value[REGISTRY_TEXT_CAPACITY];
    if (queryRegistryText(key, reference.valueName, value)) appendText(destination, value);
    RegCloseKey(key);
}

// Appends the value of one reference; the name is nameText, `length` long.
void resolveName(TextBuffer& destination, size_t length, const wchar_t* exePath, size_t exeDirLen) {
    if (length > VARIABLE_NAME_MAX) return;
    if (textEquals(nameText, L"EXEDIR")) {
        appendTextN(destination, exePath, exeDirLen);
    } else if (textEquals(nameText, L"EXEFILE")) {
        appendText(destination, exePath);
    } else if (textEquals(nameText, L"PWD")) {
        appendCurrentDirectory(destination);
    } else if (textEquals(nameText, L"OLDPWD")) {
        appendText(destination, oldCwd);
    } else if (startsWith(nameText, L"HKEY")) {
        appendRegistryValue(destination, nameText);
    } else {
        appendEnvironmentValue(destination, nameText);
    }
}

} // namespace

bool splitRegistryReference(const wchar_t* name, RegistryReference* reference) {
    if (textLengthBounded(name, VARIABLE_NAME_MAX + 1) > VARIABLE_NAME_MAX) return false;
    const RootName* root = nullptr;
    for (const RootName& candidate : ROOT_NAMES) {
        if (startsWith(name, candidate.name)) {
            root = &candidate;
            break;
        }
    }
    if (root == nullptr) return false;
    const wchar_t* firstBackslash = findChar(name, L'\\');
    if (firstBackslash == nullptr) return false;
    const wchar_t* lastBackslash = findLastChar(name, L'\\');
    const wchar_t* keyStart = firstBackslash + 1;
    const wchar_t* valueStart = lastBackslash + 1;
    // With one backslash the key path runs to the end, like the value name.
    size_t keyLength = lastBackslash > firstBackslash ? static_cast<size_t>(lastBackslash - keyStart)
                                                      : textLength(keyStart);
    reference->root = root->root;
    copyTextN(reference->keyPath, VARIABLE_NAME_MAX + 1, keyStart, keyLength);
    copyText(reference->valueName, VARIABLE_NAME_MAX + 1, valueStart);
    return true;
}

int expandVars(TextBuffer& destination, const wchar_t* source, const wchar_t* exePath, size_t exeDirLen) {
    const wchar_t* read = source;
    while (*read != 0) {
        const wchar_t* open = findChar(read, L'%');
        if (open == nullptr) return appendText(destination, read) ? 1 : 0;
        const wchar_t* close = findChar(open + 1, L'%');
        // A sign without a partner is no reference: it and everything after it
        // arrive as written, so -XX:ErrorFile=hs_err_pid%p.log reaches the
        // runtime (which replaces %p itself) with every later option.
        if (close == nullptr) return appendText(destination, read) ? 1 : 0;
        if (!appendTextN(destination, read, static_cast<size_t>(open - read))) return 0;
        // "%%" is one literal percent sign.
        if (close == open + 1) {
            if (!appendChar(destination, L'%')) return 0;
            read = close + 1;
            continue;
        }

        size_t nameLength = static_cast<size_t>(close - open - 1);
        copyTextN(nameText, LONG_TEXT_CAPACITY, open + 1, nameLength);
        size_t valueStart = destination.length;
        resolveName(destination, nameLength, exePath, exeDirLen);
        logLine("Substitute:\t%s = %s\n", nameText, destination.chars + valueStart);
        if (destination.overflowed) return 0;

        read = close + 1;
    }
    return 1;
}
