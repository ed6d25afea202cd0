// Shared set-up of the end-to-end tests: one application folder per test with
// a configured copy of the launcher and a stand-in runtime.
#pragma once

#include <gtest/gtest.h>

#include "e2e_harness.h"

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The folder layout: testDir\app\tool.exe, testDir\app\jvm\bin\javaw.exe
    // (java.exe for the console launcher).
    std::wstring testDir;
    std::wstring appDir;
    std::wstring exeName = L"tool.exe";
    std::wstring exePath() const { return e2e::joinPath(appDir, exeName); }

    // Records stamped into the launcher before the run; the shipped set to start with.
    e2e::Records records;

    // Puts the stand-in runtime at appDir\<relative>\bin\javaw.exe.
    void installRuntime(const std::wstring& relative = L"jvm");
    // An installed Java 17 at appDir\jdk-17, found through JAVA_HOME as the
    // only runtime source (CFG_MIN_VERSION 17, CFG_RUNTIME_SOURCES java_home).
    void installJavaHomeRuntime();
    // Makes the test one of the console launcher: its record-free build is
    // stamped, and the runtime's program is the console stand-in java.exe.
    void useConsoleLauncher();
    std::wstring runtimeProgram = L"javaw.exe";
    // What the stand-in runtime does when started (see fake_javaw.cpp).
    void childActions(const std::string& actions);

    // Creates the launcher copy with `records` (once per test) and runs it.
    e2e::RunResult launch(const std::wstring& arguments = L"", const e2e::Answer& answer = e2e::pressOk,
                          DWORD timeoutMs = 20000);
    // Copies the record-free launcher and stamps `records` into it.
    void prepareLauncher();
    // A launcher configured elsewhere (by qdstamp, say), used as it is: copied
    // to exePath() without stamping `records`.
    std::wstring preconfiguredLauncher;

    e2e::ChildRecord child() const { return e2e::readChildRecord(childRecordPath()); }
    // The child started by the n-th restart (-Dqdlauncher.restarted=n), and
    // what it does instead of childActions (fake_javaw.cpp).
    e2e::ChildRecord restartedChild(int n) const {
        return e2e::readChildRecord(childRecordPath() + L"." + std::to_wstring(n));
    }
    void restartedChildActions(int n, const std::string& actions);
    bool childRan() const { return e2e::fileExists(childRecordPath()); }
    std::wstring childRecordPath() const { return e2e::joinPath(testDir, L"child-record.txt"); }
    std::wstring childActionsPath() const { return e2e::joinPath(testDir, L"child-actions.txt"); }
    std::wstring logPath() const { return e2e::joinPath(appDir, L"qd-launch.log"); }
    std::string logBytes() const { return e2e::readFileBytes(logPath()); }

    // Environment given to the launcher besides the test's own.
    std::map<std::wstring, std::wstring> environment;

    // A launcher left running while the test goes on, as a first start the
    // user made: its child signals that it runs, then does `meanwhile`, waits
    // for the release and does `atRelease`.
    void childRunsUntilReleased(const std::string& meanwhile = "", const std::string& atRelease = "");
    // Starts the launcher (`exe`, exePath() unless given) from testDir with
    // `arguments` and the test's environment, without waiting for its end, and
    // returns once its child runs (childRunsUntilReleased).
    void startInBackground(const std::wstring& arguments = L"", const std::wstring& exe = L"");
    // Releases the background launcher's child and waits for the launcher's
    // end (TearDown does so too); the launcher's exit code.
    DWORD releaseBackground();
    PROCESS_INFORMATION background = {};

    // Looks at the running launcher (by process id) on every poll of launch().
    e2e::Observer whileRunning;
    // Added to the launcher's creation flags by launch().
    DWORD creationFlags = 0;

private:
    std::wstring runningFlag() const { return e2e::joinPath(testDir, L"running.flag"); }
    std::wstring releaseFlag() const { return e2e::joinPath(testDir, L"release.flag"); }
    bool launcherPrepared = false;
    std::wstring bareLauncher = e2e::bareLauncherPath();
    std::wstring runtimeStandIn = e2e::fakeRuntimePath();
};

// Whether the launcher with that process id shows its splash window.
bool splashVisible(DWORD pid);

// The shipped configuration, read from the built qdlauncher.exe.
const e2e::Records& shippedRecords();
