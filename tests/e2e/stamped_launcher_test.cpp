// A launcher configured on Linux by qdstamp (tests/stamped-launcher-check.sh
// names it in QDTEST_STAMPED_LAUNCHER): it carries exactly the stamped
// records, icon, splash picture and version strings, and runs with them.
#include "launcher_fixture.h"

using namespace e2e;

namespace {

std::wstring stampedLauncher() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"QDTEST_STAMPED_LAUNCHER", path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? path : L"";
}

class StampedLauncherTest : public LauncherTest {
protected:
    void SetUp() override {
        if (stampedLauncher().empty()) GTEST_SKIP() << "run by tests/stamped-launcher-check.sh";
        LauncherTest::SetUp();
        preconfiguredLauncher = stampedLauncher();
    }
};

TEST_F(StampedLauncherTest, CarriesExactlyTheStampedResources) {
    // The demo configuration repeats the shipped one record for record.
    EXPECT_EQ(shippedRecords(), readRecords(stampedLauncher()));

    HMODULE module = LoadLibraryExW(stampedLauncher().c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, module);
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 64, 64, 0));
    EXPECT_NE(nullptr, icon);
    if (icon != nullptr) DestroyIcon(icon);
    HBITMAP splash = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(nullptr, splash);
    BITMAP bitmap = {};
    GetObjectW(splash, sizeof bitmap, &bitmap);
    EXPECT_EQ(480, bitmap.bmWidth);
    EXPECT_EQ(270, bitmap.bmHeight);
    DeleteObject(splash);
    HRSRC version = FindResourceExW(module, RT_VERSION, MAKEINTRESOURCEW(1), 0x0400);
    ASSERT_NE(nullptr, version);
    std::wstring versionText(static_cast<const wchar_t*>(LockResource(LoadResource(module, version))),
                             SizeofResource(module, version) / sizeof(wchar_t));
    EXPECT_NE(std::wstring::npos, versionText.find(L"Demo Application"));
    EXPECT_NE(nullptr, FindResourceExW(module, RT_MANIFEST, MAKEINTRESOURCEW(1), 0x0400));
    FreeLibrary(module);
}

TEST_F(StampedLauncherTest, StartsTheApplicationWithTheStampedConfiguration) {
    installRuntime();
    childActions("exit 3\n");
    RunResult run = launch(L"report.xml");
    EXPECT_EQ(3u, run.exitCode);
    EXPECT_TRUE(run.dialogs.empty());
    std::wstring commandLine = child().value(L"commandline");
    EXPECT_NE(std::wstring::npos,
              commandLine.find(L"-Dqdlauncher.exefile=\"" + exePath() + L"\" -classpath \"lib;lib\\common-ui.jar\" "
                               L"com.example.demo.Main report.xml"))
        << narrow(commandLine);
}

} // namespace
