// The heap options as the user meets them: the low-memory question answered
// through the dialog, and the refusal when too little memory is free.
#include "cmdline_fixture.h"

using namespace e2e;
using namespace cmdline;

namespace {

// The launcher runs under the same thread locale as this test program.
bool spanishHere() { return PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale())) == LANG_SPANISH; }

std::wstring expectedQuestion() {
    if (spanishHere()) {
        return L"Hay poca memoria libre, pero la aplicaci\u00F3n puede funcionar\n"
               L"Puede que experimente problemas de rendimiento m\u00E1s adelante.\n\n"
               L"\u00BFEst\u00E1 seguro de que quiere continuar?";
    }
    return L"This computer is running in low memory, but the application can be launched\n"
           L"You may experience low performance later.\n\n"
           L"Are you sure you want to continue?";
}

class HeapTest : public CommandLineTest {
protected:
    void SetUp() override {
        CommandLineTest::SetUp();
        records.erase(12);
        records[10] = L"Demo";
    }
    // Every machine has less free memory than this many MB.
    const wchar_t* beyondAnyMachine = L"2000000000";
};

TEST_F(HeapTest, LowMemoryQuestionAnsweredYesStartsTheChildWithTheHeapOption) {
    records[29] = beyondAnyMachine; // preferred
    records[30] = L"0";             // minimum
    RunResult run = launch(L"--qd-debug", [](const Dialog&) { return Press::Yes; });

    ASSERT_EQ(1u, run.dialogs.size());
    EXPECT_EQ(L"Demo", run.dialogs[0].title);
    EXPECT_EQ(expectedQuestion(), run.dialogs[0].text);
    ASSERT_TRUE(childRan());
    EXPECT_EQ(0u, run.exitCode);

    std::string log = logBytes();
    long long freeMb = numberAfter(log, "max:4096 , Free: ");
    ASSERT_GT(freeMb, 0) << log;
    HeapRange allowed = maxHeapRange(freeMb, 4096);
    std::wstring args = childArgs();
    long long heapMb = args.rfind(L"-Xmx", 0) == 0 ? std::stoll(args.substr(4)) : -1;
    EXPECT_GE(heapMb, allowed.low) << narrow(args);
    EXPECT_LE(heapMb, allowed.high) << narrow(args);
    EXPECT_EQ(L"-Xmx" + std::to_wstring(heapMb) + L"m -classpath \"lib;lib\\common-ui.jar\" com.example.demo.Main", args);
    EXPECT_TRUE(contains(log, "Heap -Xmx:\t min:0 MB pref:2000000000 max:4096 , Free: " + std::to_string(freeMb) +
                                  " MB, Heap size: " + std::to_string(heapMb) + " MB\r\n"))
        << log;
}

TEST_F(HeapTest, LowMemoryQuestionAnsweredNoShowsTheStartupMessageAndStartsNothing) {
    records[29] = beyondAnyMachine;
    records[30] = L"0";
    RunResult run = launch(L"--qd-debug", [](const Dialog&) { return Press::No; });

    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(2u, run.dialogs.size());
    EXPECT_EQ(expectedQuestion(), run.dialogs[0].text);
    EXPECT_EQ(L"Demo", run.dialogs[1].title);
    EXPECT_EQ(STARTUP_ERROR, run.dialogs[1].text);
    EXPECT_FALSE(childRan());
    EXPECT_FALSE(contains(logBytes(), "Heap -Xmx")) << logBytes();
}

TEST_F(HeapTest, TooLittleMemoryIsReportedWithTheMinimum) {
    records[30] = beyondAnyMachine;
    RunResult run = launch(L"--qd-debug");

    std::wstring text = spanishHere()
                            ? L"No hay memoria libre suficiente.\n\nSon necesarios al menos 2000000000 Mb, de RAM libres"
                            : L"Not enough memory.\n\nThis application needs minimum 2000000000 MB of free RAM";
    expectRefusal(run, text);
    EXPECT_EQ(L"Demo", run.dialogs[0].title);
    EXPECT_FALSE(contains(logBytes(), "Heap -Xmx")) << logBytes();
}

TEST_F(HeapTest, InitialHeapComesFirstAndNegativePercentageCountsAsNone) {
    for (const wchar_t* percent : {L"", L"-10"}) {
        SetUp();
        for (WORD id : {27, 29, 30}) records.erase(id);
        records[25] = L"300";
        if (percent[0] != 0) records[26] = percent;
        launch(L"--qd-debug");
        EXPECT_EQ(L"-Xms300m -classpath \"lib;lib\\common-ui.jar\" com.example.demo.Main", childArgs());
        EXPECT_TRUE(contains(logBytes(), "\r\nHeap -Xms:\t300 MB / 0%, Free: ")) << logBytes();
    }
}

} // namespace
