// The options file next to the launcher, as the Java runtime receives it.
#include "cmdline_fixture.h"

using namespace e2e;
using namespace cmdline;

namespace {

class OptionsFileRunTest : public CommandLineTest {
protected:
    void SetUp() override {
        CommandLineTest::SetUp();
        plainRecords();
    }
    std::wstring optionsPath() const { return joinPath(appDir, L"tool.qd.ini"); }
};

TEST_F(OptionsFileRunTest, OptionsFromTheFileFollowTheConfiguredOnesExpanded) {
    records[12] = L"-Da=1";
    ASSERT_TRUE(writeFileBytes(optionsPath(), "# memory settings\r\n"
                                              "-Xss2m\r\n"
                                              "\r\n"
                                              "-Dcolor=#ff0000 -Dz=2\r\n"
                                              "-Dhome=%EXEDIR%\\data # where the data lives\r\n"));
    launch();
    EXPECT_EQ(L"-Da=1 -Xss2m -Dcolor= -Dhome=" + appDir + L"\\data -classpath \"lib;lib\\common-ui.jar\" " + MAIN_CLASS,
              childArgs());
}

TEST_F(OptionsFileRunTest, FileAloneGivesTheJvmOptions) {
    ASSERT_TRUE(writeFileBytes(optionsPath(), "-Xss2m\n-Dname=\xE9t\xE9"));
    launch();
    EXPECT_EQ(L"-Xss2m -Dname=\u00E9t\u00E9 -classpath \"lib;lib\\common-ui.jar\" " + std::wstring(MAIN_CLASS),
              childArgs());
}

TEST_F(OptionsFileRunTest, FileOfAnotherExecutableIsNotRead) {
    ASSERT_TRUE(writeFileBytes(joinPath(appDir, L"other.qd.ini"), "-Xss2m\n"));
    ASSERT_TRUE(writeFileBytes(joinPath(appDir, L"tool.exe.qd.ini"), "-Xss3m\n"));
    launch();
    EXPECT_EQ(L"-classpath \"lib;lib\\common-ui.jar\" " + std::wstring(MAIN_CLASS), childArgs());
}

TEST_F(OptionsFileRunTest, FileHeldOpenForWritingIsSkipped) {
    ASSERT_TRUE(writeFileBytes(optionsPath(), "-Xss2m\n"));
    HANDLE writer = CreateFileW(optionsPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    RunResult run = launch();
    CloseHandle(writer);
    EXPECT_TRUE(run.dialogs.empty());
    EXPECT_EQ(L"-classpath \"lib;lib\\common-ui.jar\" " + std::wstring(MAIN_CLASS), childArgs());
}

TEST_F(OptionsFileRunTest, FileIsClosedBeforeTheChildRuns) {
    ASSERT_TRUE(writeFileBytes(optionsPath(), "-Xss2m\n"));
    // The launcher runs in the background while its child waits.
    childRunsUntilReleased();
    startInBackground();

    // Neither the launcher nor the child holds the file: an exclusive open works.
    HANDLE exclusive = CreateFileW(optionsPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, exclusive);
    if (exclusive != INVALID_HANDLE_VALUE) CloseHandle(exclusive);

    releaseBackground();
    EXPECT_EQ(L"-Xss2m -classpath \"lib;lib\\common-ui.jar\" " + std::wstring(MAIN_CLASS), childArgs());
}

} // namespace
