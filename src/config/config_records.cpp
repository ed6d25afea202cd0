#include "config/config_records.h"

#include "core/bounded_text.h"
#include "core/failure.h"
#include "core/launch_state.h"

namespace {

const WORD RECORD_LANGUAGE = 0x0400;

void noteConfigFault(WORD id, size_t capacity) {
    if (configFaultRecord != 0) return;
    configFaultRecord = id;
    wchar_t reason[200];
    TextBuffer b = emptyTextBuffer(reason, 200);
    appendText(b, "The launcher's configuration is damaged: record ");
    appendDecimal(b, id);
    appendText(b, " is longer than the ");
    appendDecimal(b, static_cast<long long>(capacity) - 1);
    appendText(b, " characters it may hold.");
    explainFailure(reason);
}

BOOL CALLBACK noteRecordLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    if (language != RECORD_LANGUAGE) return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

// The system's lookup falls back to other languages when a record is missing
// under the one asked for; a record counts only when stored under 0x0400.
// Stopping the enumeration early leaves ERROR_RESOURCE_ENUM_USER_STOP pending
// on Windows: harmless, since no report reads the thread's last-error value.
bool storedUnderRecordLanguage(WORD id) {
    bool found = false;
    EnumResourceLanguagesW(moduleHandle, RT_RCDATA, MAKEINTRESOURCEW(id), noteRecordLanguage,
                           reinterpret_cast<LONG_PTR>(&found));
    return found;
}

bool isSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

} // namespace

RecordLookup findConfigRecord(WORD id, const wchar_t** text, size_t* length) {
    HRSRC resource = FindResourceExW(moduleHandle, RT_RCDATA, MAKEINTRESOURCEW(id), RECORD_LANGUAGE);
    if (resource != nullptr && !storedUnderRecordLanguage(id)) resource = nullptr;
    if (resource == nullptr) return RECORD_ABSENT;
    HGLOBAL loaded = LoadResource(moduleHandle, resource);
    if (loaded == nullptr) {
        noteFailedCall();
        return RECORD_UNREADABLE;
    }
    const wchar_t* data = static_cast<const wchar_t*>(LockResource(loaded));
    if (data == nullptr) {
        failureCode = ERROR_INVALID_DATA; // LockResource sets no code of its own
        return RECORD_UNREADABLE;
    }
    size_t units = SizeofResource(moduleHandle, resource) / sizeof(wchar_t);
    *text = data;
    *length = textLengthBounded(data, units);
    return RECORD_FOUND;
}

int loadConfigString(WORD id, wchar_t* buffer, size_t capacity) {
    const wchar_t* text = nullptr;
    size_t length = 0;
    if (findConfigRecord(id, &text, &length) != RECORD_FOUND) return 0;
    if (length >= capacity) {
        noteConfigFault(id, capacity);
        return 0;
    }
    copyTextN(buffer, capacity, text, length);
    return 1;
}

int loadConfigBool(WORD id) {
    wchar_t text[CONFIG_NUMBER_CAPACITY] = {};
    loadConfigString(id, text, CONFIG_NUMBER_CAPACITY);
    return text[0] == L't' && text[1] == L'r' && text[2] == L'u' && text[3] == L'e' && text[4] == 0;
}

int loadConfigInt(WORD id) {
    wchar_t text[CONFIG_NUMBER_CAPACITY] = {};
    loadConfigString(id, text, CONFIG_NUMBER_CAPACITY);
    return parseConfigInt(text);
}

int parseConfigInt(const wchar_t* text) {
    while (isSpace(*text)) ++text;
    bool negative = false;
    if (*text == L'+' || *text == L'-') {
        negative = *text == L'-';
        ++text;
    }
    long long value = 0;
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > limit) value = limit; // saturate; further digits keep it there
    }
    return static_cast<int>(negative ? -value : value);
}
