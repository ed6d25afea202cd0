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
    EXPECT_NE(nullptr, FindResourceExW(module, RT_MANIFEST, MAKEINTRESOURCEW(1), 0x0400));
    EXPECT_NE(nullptr, FindResourceExW(module, RT_VERSION, MAKEINTRESOURCEW(1), 0x0400));
    FreeLibrary(module);
}

// The manifest as the system reads it when the launcher starts, as its
// activation context: per-monitor awareness of the pixel density (the older
// per-monitor form before Windows 10 1607), no elevation, the current common
// controls, Windows 10 and 11 behaviour.
TEST(LauncherImage, ManifestAsksForPerMonitorDensityNoElevationAndTheCurrentControls) {
    std::wstring exe = shippedLauncherPath();
    ACTCTXW request = {sizeof request, ACTCTX_FLAG_RESOURCE_NAME_VALID, exe.c_str()};
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context);
    wchar_t awareness[64] = {}, legacy[64] = {};
    SIZE_T size = 0;
    QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", awareness, 64, &size);
    QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", legacy, 64, &size);
    EXPECT_EQ(std::wstring(L"PerMonitorV2, PerMonitor"), awareness);
    EXPECT_EQ(std::wstring(L"true/pm"), legacy);
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &runLevel, sizeof runLevel, &size);
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, runLevel.RunLevel);
    // Assembly 2 is the first dependency: the system names the version of the controls it found.
    DWORD index = 2;
    alignas(8) BYTE detail[2048] = {};
    ASSERT_TRUE(QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, detail, sizeof detail, &size));
    std::wstring controls = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(detail)->lpAssemblyEncodedAssemblyIdentity;
    EXPECT_EQ(0u, controls.find(L"Microsoft.Windows.Common-Controls,")) << narrow(controls);
    EXPECT_NE(std::wstring::npos, controls.find(L"version=\"6.")) << narrow(controls);
    // The supported systems: the one identifier of Windows 10 and 11.
    const GUID windows10 = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
    alignas(8) BYTE compatibility[512] = {};
    QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, compatibility, sizeof compatibility, &size);
    const BYTE* id = reinterpret_cast<const BYTE*>(&windows10);
    EXPECT_NE(compatibility + size, std::search(compatibility, compatibility + size, id, id + sizeof windows10));
    ReleaseActCtx(context);
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
