// The launcher executable itself: what it imports at start-up and where it
// loads DLLs from.
#include "launcher_fixture.h"

#include <algorithm>
#include <set>

using namespace e2e;

namespace {

// Names of the DLLs in an executable's import directory, lower case.
std::set<std::string> importedDlls(const std::wstring& exe) {
    std::set<std::string> names;
    std::string image = readFileBytes(exe);
    auto at = [&](size_t offset, size_t size) { return offset + size <= image.size(); };
    if (!at(0, sizeof(IMAGE_DOS_HEADER))) return names;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (!at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS64))) return names;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return image.size();
    };
    for (size_t offset = fileOffset(imports.VirtualAddress); at(offset, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + offset);
        if (descriptor->Name == 0) break;
        size_t nameOffset = fileOffset(descriptor->Name);
        if (!at(nameOffset, 1)) break;
        std::string name(image.data() + nameOffset);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        names.insert(name);
    }
    return names;
}

TEST(LauncherImage, StartsWithKernelAdvapiAndTheCRuntimeOnly) {
    // All three are on the system's known-DLL list, so no DLL placed next to
    // the launcher can stand in for them; user32 and shell32 are bound only
    // when a window or a page is needed.
    const std::set<std::string> allowed = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
    for (const std::wstring& exe : {shippedLauncherPath(), bareLauncherPath()}) {
        std::set<std::string> dlls = importedDlls(exe);
        ASSERT_FALSE(dlls.empty()) << narrow(exe);
        for (const std::string& dll : dlls) EXPECT_TRUE(allowed.count(dll)) << narrow(exe) << " imports " << dll;
    }
}

// On Windows this catches a launcher that searches its own folder for DLLs;
// Wine prefers its built-in system DLLs, so there it can only confirm that
// nothing from the folder was loaded.
TEST(LauncherImage, CarriesIts64PixelIconVersionAndManifest) {
    HMODULE module = LoadLibraryExW(shippedLauncherPath().c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, module);
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 64, 64, 0));
    ASSERT_NE(nullptr, icon) << "icon group 1";
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(64, bitmap.bmWidth);
    EXPECT_EQ(64, bitmap.bmHeight);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    HRSRC manifest = FindResourceExW(module, RT_MANIFEST, MAKEINTRESOURCEW(1), 0x0400);
    ASSERT_NE(nullptr, manifest);
    std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                     SizeofResource(module, manifest));
    EXPECT_NE(std::string::npos, text.find("level=\"asInvoker\" uiAccess=\"false\""));
    EXPECT_NE(nullptr, FindResourceExW(module, RT_VERSION, MAKEINTRESOURCEW(1), 0x0400));
    FreeLibrary(module);
}

TEST_F(LauncherTest, DllsPlantedNextToTheLauncherAreNeverLoaded) {
    installRuntime();
    records.erase(1); // no runtime: the run ends in a report, which binds user32
    records.erase(2);
    records[22] = L"https://help.example.com/";
    std::wstring marker = joinPath(testDir, L"planted-loaded.flag");
    environment[L"QDTEST_PLANTED_MARKER"] = marker;
    for (const wchar_t* name : {L"user32.dll", L"shell32.dll", L"version.dll", L"uxtheme.dll", L"dwmapi.dll"}) {
        ASSERT_TRUE(CopyFileW(joinPath(testProgramDir(), L"planted_dll.dll").c_str(), joinPath(appDir, name).c_str(),
                              FALSE));
    }
    RunResult run = launch();
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(1u, run.dialogs.size());
    EXPECT_FALSE(fileExists(marker)) << "a DLL from the launcher's folder was loaded";
}

} // namespace
