// Shared set-up of the command-line tests: a bundled stand-in runtime, and
// readers for what the child received after its own program path and for the
// figures the debug log shows.
#pragma once

#include <string>

#include "launcher_fixture.h"

namespace cmdline {

const wchar_t* const STARTUP_ERROR = L"An error occurred while starting the application.";
const wchar_t* const MAIN_CLASS = L"com.example.demo.Main";

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// "<label>...<number>" in the log, the number read after the first `label`.
inline long long numberAfter(const std::string& log, const std::string& label) {
    size_t at = log.find(label);
    if (at == std::string::npos) return -1;
    return std::stoll(log.substr(at + label.size()));
}

// The -Xmx figure a free-memory figure allows, given in whole MB as the log
// shows it: freeBytes lies within [freeMb, freeMb + 1) MB, so 90 % of it lies
// between these two figures (both truncated).
struct HeapRange {
    long long low;
    long long high;
};
inline HeapRange maxHeapRange(long long freeMb, long long ceilingMb) {
    const long long MB = 1048576;
    long long low = freeMb * MB * 90 / 104857600;
    long long high = ((freeMb + 1) * MB - 1) * 90 / 104857600;
    return {low < ceilingMb ? low : ceilingMb, high < ceilingMb ? high : ceilingMb};
}

} // namespace cmdline

class CommandLineTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        installRuntime();
    }

    // The shipped records less the heap limits and JVM options, so that the
    // child's arguments begin with the classpath or jar form whatever memory
    // is free.
    void plainRecords() {
        for (WORD id : {12, 27, 29, 30}) records.erase(id);
    }

    std::wstring javawPath() const { return e2e::joinPath(appDir, L"jvm\\bin\\javaw.exe"); }

    // What the child received after its quoted program path and one blank.
    std::wstring childArgs() const {
        std::wstring commandLine = child().value(L"commandline");
        std::wstring head = L"\"" + javawPath() + L"\" ";
        EXPECT_EQ(0u, commandLine.rfind(head, 0)) << e2e::narrow(commandLine);
        return commandLine.rfind(head, 0) == 0 ? commandLine.substr(head.size()) : L"";
    }

    // Runs and expects one report with `text`, exit code 1 and no child.
    void expectRefusal(const e2e::RunResult& run, const std::wstring& text) {
        EXPECT_EQ(1u, run.exitCode);
        ASSERT_EQ(1u, run.dialogs.size());
        EXPECT_EQ(text, run.dialogs[0].text);
        EXPECT_FALSE(childRan());
    }

    void makeFile(const std::wstring& relative) {
        std::wstring path = e2e::joinPath(appDir, relative);
        size_t slash = path.rfind(L'\\');
        ASSERT_TRUE(e2e::makeDirectories(path.substr(0, slash)));
        ASSERT_TRUE(e2e::writeFileBytes(path, ""));
    }
};
