// resprobe: a Windows test program that reads its own resources through the
// Win32 resource API, as the launcher does, and prints what it finds.  After
// qdstamp has rewritten its resources, this output shows what Windows (or
// Wine) actually sees in the stamped file.
//
// Output lines:
//   record <id> <bytes> <text>      for every RT_RCDATA entry (language 0x0400)
//   icon group <n> images            RT_GROUP_ICON 1
//   icon <id> <w>x<h> <bits> ok|bad  each image, checked with CreateIconFromResourceEx
//   bitmap 1 <w>x<h>                 RT_BITMAP 1, loaded with LoadBitmapW
//   version <file version> <product version> / version-string <name> <value>
//   manifest present|missing
// Text is printed with printable ASCII as is and everything else as \uXXXX.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const WORD kLanguage = 0x0400;

std::string printable(const wchar_t* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        unsigned c = static_cast<unsigned short>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
        }
    }
    return out;
}

bool load(LPCWSTR type, LPCWSTR name, WORD language, const BYTE** data, DWORD* size) {
    HRSRC info = FindResourceExW(nullptr, type, name, language);
    if (!info) return false;
    HGLOBAL handle = LoadResource(nullptr, info);
    if (!handle) return false;
    *data = static_cast<const BYTE*>(LockResource(handle));
    *size = SizeofResource(nullptr, info);
    return *data != nullptr;
}

BOOL CALLBACK collect(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<WORD>*>(param)->push_back(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
    else std::printf("named RT_RCDATA entry (unexpected)\n");
    return TRUE;
}

void print_records() {
    std::vector<WORD> ids;
    EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(10), collect, reinterpret_cast<LONG_PTR>(&ids));
    for (WORD id : ids) {
        const BYTE* data = nullptr;
        DWORD size = 0;
        if (!load(MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(id), kLanguage, &data, &size)) {
            std::printf("record %u not found in language 0x0400\n", id);
            continue;
        }
        // The launcher treats the data as a zero-terminated UTF-16 string.
        const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
        size_t length = 0;
        while (length * 2 + 1 < size && text[length] != 0) ++length;
        bool terminated = length * 2 + 2 == size && text[length] == 0;
        std::printf("record %u %lu %s%s\n", id, static_cast<unsigned long>(size), printable(text, length).c_str(),
                    terminated ? "" : " (not terminated as expected)");
    }
}

void print_icons() {
    const BYTE* group = nullptr;
    DWORD size = 0;
    if (!load(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1), kLanguage, &group, &size) || size < 6) {
        std::printf("icon group missing\n");
        return;
    }
    WORD count = *reinterpret_cast<const WORD*>(group + 4);
    std::printf("icon group %u images\n", count);
    for (WORD i = 0; i < count && 6u + 14u * (i + 1u) <= size; ++i) {
        const BYTE* e = group + 6 + 14 * i;
        WORD bits = *reinterpret_cast<const WORD*>(e + 6);
        DWORD bytes = *reinterpret_cast<const DWORD*>(e + 8);
        WORD id = *reinterpret_cast<const WORD*>(e + 12);
        int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        const BYTE* image = nullptr;
        DWORD image_size = 0;
        bool ok = load(MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id), kLanguage, &image, &image_size) && image_size == bytes;
        if (ok) {
            HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), image_size, TRUE, 0x00030000, w, h, 0);
            ok = icon != nullptr;
            if (icon) DestroyIcon(icon);
        }
        std::printf("icon %u %dx%d %u %s\n", id, w, h, bits, ok ? "ok" : "bad");
    }
}

void print_bitmap() {
    HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (!bitmap) {
        std::printf("bitmap 1 missing\n");
        return;
    }
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    std::printf("bitmap 1 %ldx%ld\n", info.bmWidth, info.bmHeight);
    DeleteObject(bitmap);
}

void print_version() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    std::vector<BYTE> block(size ? size : 1);
    if (!size || !GetFileVersionInfoW(path, 0, size, block.data())) {
        std::printf("version missing\n");
        return;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
        std::printf("version %lu.%lu.%lu.%lu %lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                    HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS),
                    LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
    const wchar_t* names[] = {L"CompanyName", L"FileDescription", L"FileVersion", L"LegalCopyright", L"ProductName", L"ProductVersion"};
    for (const wchar_t* name : names) {
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t* value = nullptr;
        if (VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
            std::printf("version-string %ls %s\n", name, printable(value, wcslen(value)).c_str());
    }
}

}  // namespace

int main() {
    print_records();
    print_icons();
    print_bitmap();
    print_version();
    HRSRC manifest = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    std::printf("manifest %s\n", manifest ? "present" : "missing");
    return 0;
}
