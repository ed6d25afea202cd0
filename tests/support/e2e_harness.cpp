#include "e2e_harness.h"

#include <algorithm>
#include <cstring>
#include <set>

#include <stdint.h>

namespace e2e {

namespace {

const WORD RECORD_LANGUAGE = 0x0400;

std::wstring directoryOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

BOOL CALLBACK collectRecord(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (!IS_INTRESOURCE(name)) return TRUE;
    Records* records = reinterpret_cast<Records*>(param);
    WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    HRSRC resource = FindResourceExW(module, RT_RCDATA, name, RECORD_LANGUAGE);
    if (resource == nullptr) return TRUE;
    const wchar_t* data = static_cast<const wchar_t*>(LockResource(LoadResource(module, resource)));
    size_t units = SizeofResource(module, resource) / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && data[length] != 0) ++length;
    (*records)[id] = std::wstring(data, length);
    return TRUE;
}

std::wstring buildEnvironmentBlock(const std::map<std::wstring, std::wstring>& extra) {
    // Windows wants the block sorted by name, case-insensitively.
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> entries;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != 0; entry += wcslen(entry) + 1) {
        std::wstring text(entry);
        size_t eq = text.find(L'=', 1); // names like "=C:" start with '='
        if (eq == std::wstring::npos) continue;
        std::wstring name = text.substr(0, eq);
        entries[lower(name)] = {name, text.substr(eq + 1)};
    }
    FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : extra) entries[lower(name)] = {name, value};
    std::wstring result;
    for (const auto& [key, entry] : entries) {
        result += entry.first + L"=" + entry.second;
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

int buttonId(Press press) {
    switch (press) {
        case Press::Yes: return IDYES;
        case Press::No: return IDNO;
        default: return IDOK;
    }
}

} // namespace

std::wstring testProgramDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return directoryOf(path);
}

std::wstring bareLauncherPath() { return joinPath(testProgramDir(), L"qdlauncher-bare.exe"); }
std::wstring shippedLauncherPath() { return joinPath(testProgramDir(), L"qdlauncher.exe"); }
std::wstring fakeRuntimePath() { return joinPath(testProgramDir(), L"fake_javaw.exe"); }
std::wstring consoleBareLauncherPath() { return joinPath(testProgramDir(), L"qdlauncher-console-bare.exe"); }
std::wstring fakeConsoleRuntimePath() { return joinPath(testProgramDir(), L"fake_java.exe"); }

std::string standInBuiltFor(WORD machine) {
    std::string program = readFileBytes(fakeRuntimePath());
    if (program.size() < 0x40) return program;
    DWORD header = 0;
    memcpy(&header, program.data() + 0x3C, sizeof header);
    if (program.size() < header + 6) return program;
    memcpy(&program[header + 4], &machine, sizeof machine);
    return program;
}

Records readRecords(const std::wstring& exe) {
    Records records;
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) return records;
    EnumResourceNamesW(module, RT_RCDATA, collectRecord, reinterpret_cast<LONG_PTR>(&records));
    FreeLibrary(module);
    return records;
}

bool stampRecords(const std::wstring& exe, const Records& records) {
    HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
    if (update == nullptr) return false;
    bool ok = true;
    for (const auto& [id, text] : records) {
        std::wstring data = text;
        data.push_back(L'\0');
        ok = ok && UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(id), RECORD_LANGUAGE, &data[0],
                                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    }
    return EndUpdateResourceW(update, !ok) && ok;
}

bool stampRawRecord(const std::wstring& exe, WORD id, const std::string& bytes) {
    HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
    if (update == nullptr) return false;
    std::string data = bytes;
    bool ok = UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(id), RECORD_LANGUAGE, &data[0],
                              static_cast<DWORD>(data.size()));
    return EndUpdateResourceW(update, !ok) && ok;
}

bool stampBitmap(const std::wstring& exe, const std::string& bmpFileBytes) {
    const size_t FILE_HEADER_SIZE = 14;
    if (bmpFileBytes.size() <= FILE_HEADER_SIZE || bmpFileBytes.compare(0, 2, "BM") != 0) return false;
    return stampBitmapResource(exe, 1, bmpFileBytes.substr(FILE_HEADER_SIZE));
}

bool stampBitmapResource(const std::wstring& exe, WORD id, const std::string& dib) {
    std::string data = dib;
    HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
    if (update == nullptr) return false;
    bool ok = UpdateResourceW(update, RT_BITMAP, MAKEINTRESOURCEW(id), RECORD_LANGUAGE, &data[0],
                              static_cast<DWORD>(data.size()));
    return EndUpdateResourceW(update, !ok) && ok;
}

std::string makeTransparentDib(int width, int height, COLORREF colour, int corner) {
    BITMAPV5HEADER header = {};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    header.bV5CSType = 0x73524742; // LCS_sRGB
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    for (int row = height - 1; row >= 0; --row) { // bottom-up
        for (int x = 0; x < width; ++x) {
            unsigned alpha = row >= corner ? 255 : x < corner ? 0 : x >= width - corner ? 128 : 255;
            for (unsigned channel : {GetBValue(colour), GetGValue(colour), GetRValue(colour)}) {
                bytes.push_back(static_cast<char>((channel * alpha + 127) / 255));
            }
            bytes.push_back(static_cast<char>(alpha));
        }
    }
    return bytes;
}

std::string makeBitmapFile(int width, int height) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);
    std::string bytes;
    auto put16 = [&](uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
    auto put32 = [&](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    // BITMAPFILEHEADER
    bytes += "BM";
    put32(14 + 40 + pixelBytes);
    put32(0);
    put32(14 + 40);
    // BITMAPINFOHEADER: bottom-up, 24 bits, uncompressed
    put32(40);
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(height));
    put16(1);
    put16(24);
    put32(BI_RGB);
    put32(pixelBytes);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = 0; y < height; ++y) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            row[x * 3 + 0] = static_cast<char>(255 * x / (width > 1 ? width - 1 : 1));   // blue
            row[x * 3 + 1] = static_cast<char>(255 * y / (height > 1 ? height - 1 : 1)); // green
            row[x * 3 + 2] = static_cast<char>(0x80);                                    // red
        }
        bytes += row;
    }
    return bytes;
}

bool makeDirectories(const std::wstring& path) {
    if (path.empty() || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !makeDirectories(path.substr(0, slash))) return false;
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void removeTree(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(joinPath(path, L"*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = entry.cFileName;
                if (name != L"." && name != L"..") removeTree(joinPath(path, name));
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW(path.c_str());
    } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
}

bool writeFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string readFileBytes(const std::wstring& path) {
    std::string data;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) data.append(chunk, got);
    CloseHandle(file);
    return data;
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> listFiles(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring tempDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    return path;
}

std::wstring joinPath(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || a.back() == L'\\') return a + b;
    return a + L"\\" + b;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return "";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return L"";
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string latin1(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

Press pressOk(const Dialog&) { return Press::Ok; }

std::wstring systemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = text != nullptr ? text : L"";
    if (text != nullptr) LocalFree(text);
    return result;
}

RunResult runProgram(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingDir,
                     const std::map<std::wstring, std::wstring>& environment, const Answer& answer,
                     DWORD timeoutMs, const Observer& whileRunning, DWORD creationFlags) {
    RunResult result;
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::wstring block = buildEnvironmentBlock(environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ULONGLONG start = GetTickCount64();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT | creationFlags,
                        &block[0], workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &process)) {
        result.startError = GetLastError();
        return result;
    }
    result.started = true;
    result.pid = process.dwProcessId;
    std::set<HWND> answered;
    for (;;) {
        // Keep this thread's own windows responsive: the launcher may send
        // them messages (activating a running instance, say).
        DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 25, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (wait == WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        if (GetTickCount64() - start > timeoutMs) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        if (whileRunning) whileRunning(process.dwProcessId);
        for (const WindowInfo& window : topLevelWindows(process.dwProcessId)) {
            HWND dialog = window.handle;
            if (!window.visible || window.className != L"#32770" || answered.count(dialog)) continue;
            Dialog seen;
            seen.window = dialog;
            seen.seenAtMs = GetTickCount64() - start;
            seen.title = windowText(dialog);
            HWND staticText = GetDlgItem(dialog, 0xFFFF);
            if (staticText != nullptr) seen.text = windowText(staticText);
            answered.insert(dialog);
            result.dialogs.push_back(seen);
            int id = buttonId(answer(seen));
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        }
    }
    result.elapsedMs = GetTickCount64() - start;
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

namespace {

struct WindowSearch {
    DWORD pid;
    std::vector<WindowInfo> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM param) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid) return TRUE;
    WindowInfo info;
    info.handle = window;
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    info.className = className;
    info.visible = IsWindowVisible(window) != FALSE;
    info.style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    info.exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    GetWindowRect(window, &info.rect);
    search->found.push_back(info);
    return TRUE;
}

} // namespace

std::vector<WindowInfo> topLevelWindows(DWORD pid) {
    WindowSearch search = {pid, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > deadline) return condition();
        Sleep(10);
    }
    return true;
}

std::wstring ChildRecord::value(const std::wstring& key) const {
    auto it = values.find(key);
    return it == values.end() ? L"" : it->second;
}

std::wstring ChildRecord::env(const std::wstring& name) const {
    for (const auto& [key, val] : values) {
        if (key.rfind(L"env:", 0) == 0 && lower(key.substr(4)) == lower(name)) return val;
    }
    return L"";
}

bool ChildRecord::hasEnv(const std::wstring& name) const {
    for (const auto& [key, val] : values) {
        if (key.rfind(L"env:", 0) == 0 && lower(key.substr(4)) == lower(name)) return true;
    }
    return false;
}

ChildRecord readChildRecord(const std::wstring& path) {
    ChildRecord record;
    std::string bytes = readFileBytes(path);
    if (bytes.empty()) return record;
    record.present = true;
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        size_t eq = line.find(L'=', line.rfind(L"env:", 0) == 0 ? 5 : 0);
        if (eq != std::wstring::npos) record.values[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return record;
}

} // namespace e2e
