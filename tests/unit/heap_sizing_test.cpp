// Heap sizing: the options, the memory guards, the question and the log lines
// for given free-memory figures, record values and locales.
#include <gtest/gtest.h>

#include <string>

#include "cmdline/heap_sizing.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "log_capture.h"

namespace {

const unsigned long long MIB = 1048576ULL;
const unsigned long long GIB = 1024ULL * MIB;
const LCID ENGLISH_US = 0x0409;
const LCID SPANISH_SPAIN = 0x0C0A;

const wchar_t* const ENGLISH_QUESTION =
    L"This computer is running in low memory, but the application can be launched\n"
    L"You may experience low performance later.\n\n"
    L"Are you sure you want to continue?";
const wchar_t* const SPANISH_QUESTION =
    L"Hay poca memoria libre, pero la aplicaci\u00F3n puede funcionar\n"
    L"Puede que experimente problemas de rendimiento m\u00E1s adelante.\n\n"
    L"\u00BFEst\u00E1 seguro de que quiere continuar?";

// The stand-in for the message box: records what it was asked and answers.
struct Question {
    int calls = 0;
    std::wstring text;
    std::wstring title;
    UINT type = 0;
    int answer = IDYES;
};
Question question;

int askStandIn(const wchar_t* text, const wchar_t* title, UINT type) {
    ++question.calls;
    question.text = text;
    question.title = title;
    question.type = type;
    return question.answer;
}

// The shipped limits: minimum 512, preferred 2048, ceiling 4096.
struct Shipped {
    int minMb = 512;
    int preferredMb = 2048;
    int maxMb = 4096;
};

class HeapSizingTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLaunchState();
        question = Question();
        args = emptyTextBuffer(launcherArgs, LONG_TEXT_CAPACITY);
        copyText(messageText, MESSAGE_CAPACITY, L"An error occurred while starting the application.");
    }

    // Both steps in their order, as the preparation runs them.
    int size(unsigned long long freeBytes, int floorMb, int percent, Shipped limits = Shipped(),
             LCID locale = ENGLISH_US) {
        applyInitialHeap(args, freeBytes, floorMb, percent);
        return applyMaxHeap(args, freeBytes, limits.minMb, limits.preferredMb, limits.maxMb, locale, askStandIn);
    }

    std::wstring argsText() const { return launcherArgs; }

    TextBuffer args;
};

TEST_F(HeapSizingTest, SixGibFreeGivesTheCeilingWithoutAQuestion) {
    LogCapture log;
    EXPECT_EQ(1, size(6 * GIB, 0, 0));
    EXPECT_EQ(L"-Xmx4096m ", argsText());
    EXPECT_EQ(0, question.calls);
    EXPECT_EQ("Heap -Xmx:\t min:512 MB pref:2048 max:4096 , Free: 6144 MB, Heap size: 4096 MB\r\n", log.bytes());
}

TEST_F(HeapSizingTest, ThreeGibFreeGivesNinetyPercentTruncated) {
    EXPECT_EQ(1, size(3 * GIB, 0, 0));
    EXPECT_EQ(L"-Xmx2764m ", argsText()); // 2764.8 MB
    EXPECT_EQ(0, question.calls);
}

TEST_F(HeapSizingTest, TwoGibFreeAsksAndYesGoesOn) {
    LogCapture log;
    question.answer = IDYES;
    EXPECT_EQ(1, size(2 * GIB, 0, 0));
    EXPECT_EQ(1, question.calls);
    EXPECT_EQ(ENGLISH_QUESTION, question.text);
    EXPECT_EQ(L"QDLauncher", question.title);
    EXPECT_EQ(0x34u, question.type);
    EXPECT_EQ(L"-Xmx1843m ", argsText());
    EXPECT_EQ("Heap -Xmx:\t min:512 MB pref:2048 max:4096 , Free: 2048 MB, Heap size: 1843 MB\r\n", log.bytes());
}

TEST_F(HeapSizingTest, TwoGibFreeAsksAndAnythingButYesStops) {
    for (int answer : {IDNO, IDCANCEL, 0}) { // 0: the box could not be shown
        SetUp();
        LogCapture log;
        copyText(errorTitle, NAME_CAPACITY, L"Demo");
        question.answer = answer;
        EXPECT_EQ(0, size(2 * GIB, 0, 0)) << answer;
        EXPECT_EQ(L"Demo", question.title);
        EXPECT_EQ(L"", argsText()) << answer;
        EXPECT_STREQ(L"An error occurred while starting the application.", messageText) << answer;
        EXPECT_EQ("", log.bytes()) << answer;
    }
}

TEST_F(HeapSizingTest, BelowTheMinimumFailsWithTheTextOfTheLocale) {
    struct Case {
        LCID locale;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {ENGLISH_US, L"Not enough memory.\n\nThis application needs minimum 512 MB of free RAM"},
        {SPANISH_SPAIN, L"No hay memoria libre suficiente.\n\nSon necesarios al menos 512 Mb, de RAM libres"},
    };
    for (const Case& c : cases) {
        SetUp();
        LogCapture log;
        EXPECT_EQ(0, size(500 * MIB, 0, 0, Shipped(), c.locale)); // usable 450
        EXPECT_STREQ(c.expected, messageText);
        EXPECT_EQ(0, question.calls) << "the minimum is tested before the question";
        EXPECT_EQ(L"", argsText());
        EXPECT_EQ("", log.bytes());
    }
}

TEST_F(HeapSizingTest, LanguageFollowsThePrimaryLanguageOfTheLocale) {
    struct Case {
        LCID locale;
        bool spanish;
    };
    const Case cases[] = {
        {0x0C0A, true},  // Spanish, Spain (modern sort)
        {0x040A, true},  // Spanish, Spain (traditional sort)
        {0x080A, true},  // Spanish, Mexico
        {0x0409, false}, // English, United States
        {0x042A, false}, // Vietnamese: its low five bits are 0x0A, its language is not Spanish
        {0x002A, false}, // Vietnamese, neutral
        {0x044A, false}, // another language id whose low five bits are 0x0A
        {0x0000, false},
    };
    for (const Case& c : cases) {
        const MemoryTexts& texts = memoryTextsFor(c.locale);
        std::wstring question;
        for (const char* q = texts.lowMemoryQuestion; *q != 0; ++q) question += static_cast<unsigned char>(*q);
        EXPECT_EQ(c.spanish ? SPANISH_QUESTION : ENGLISH_QUESTION, question)
            << std::hex << c.locale;
    }
}

TEST_F(HeapSizingTest, QuestionIsAskedInSpanishUnderASpanishLocale) {
    question.answer = IDYES;
    EXPECT_EQ(1, size(2 * GIB, 0, 0, Shipped(), SPANISH_SPAIN));
    EXPECT_EQ(SPANISH_QUESTION, question.text);
}

TEST_F(HeapSizingTest, InitialHeapAboveTheCapIsReducedAndLogged) {
    LogCapture log;
    EXPECT_EQ(1, size(6 * GIB, 256, 25)); // share 1536
    EXPECT_EQ(L"-Xms1500m -Xmx4096m ", argsText());
    EXPECT_EQ("Heap limit:\tReduced 1536 MB heap size to 32-bit maximum 1500 MB\r\n"
              "Heap -Xms:\t256 MB / 25%, Free: 6144 MB, Heap size: 1500 MB\r\n"
              "Heap -Xmx:\t min:512 MB pref:2048 max:4096 , Free: 6144 MB, Heap size: 4096 MB\r\n",
              log.bytes());
}

TEST_F(HeapSizingTest, InitialHeapExamples) {
    struct Case {
        unsigned long long freeBytes;
        int floorMb;
        int percent;
        const wchar_t* initialPiece;
    };
    const Case cases[] = {
        {2 * GIB, 256, 25, L"-Xms512m "}, // share 512 beats the floor
        {6 * GIB, 0, 10, L"-Xms614m "},   // 614.4
        {6 * GIB, 700, 10, L"-Xms700m "}, // the floor beats the share
        {6 * GIB, 1500, 0, L"-Xms1500m "},
        {6 * GIB, 1501, 0, L"-Xms1500m "},
        {6 * GIB, 0, 0, L""},
        {6 * GIB, -1, 50, L""},   // a negative floor wins over any share
        {6 * GIB, -256, 0, L""},
        {6 * GIB, 256, -5, L"-Xms256m "}, // a negative share counts as none: the floor still applies
        {6 * GIB, 0, -100, L""},
        {6 * GIB, 1600, -2147483647 - 1, L"-Xms1500m "},
        {0, 0, 25, L""},
    };
    for (const Case& c : cases) {
        SetUp();
        applyInitialHeap(args, c.freeBytes, c.floorMb, c.percent);
        EXPECT_EQ(c.initialPiece, argsText()) << c.floorMb << " MB / " << c.percent << "%";
    }
}

TEST_F(HeapSizingTest, NoInitialHeapWritesNoLogLine) {
    LogCapture log;
    applyInitialHeap(args, 6 * GIB, 0, -5);
    applyInitialHeap(args, 6 * GIB, -1, 0);
    EXPECT_EQ("", log.bytes());
}

TEST_F(HeapSizingTest, InitialAndMaximumHeapAreNotReconciled) {
    Shipped limits;
    limits.maxMb = 512;
    EXPECT_EQ(1, size(6 * GIB, 1024, 0, limits));
    EXPECT_EQ(L"-Xms1024m -Xmx512m ", argsText());
}

TEST_F(HeapSizingTest, AbsentRecordsGiveNoOptionAndNoGuard) {
    Shipped none;
    none.minMb = none.preferredMb = none.maxMb = 0;
    EXPECT_EQ(1, size(100 * MIB, 0, 0, none));
    EXPECT_EQ(L"", argsText());
    EXPECT_EQ(0, question.calls);
}

TEST_F(HeapSizingTest, PreferredBelowMinimumNeverAsks) {
    Shipped limits;
    limits.minMb = 1000;
    limits.preferredMb = 900;
    EXPECT_EQ(1, size(1200 * MIB, 0, 0, limits)); // usable 1080: above both
    EXPECT_EQ(0, question.calls);
    EXPECT_EQ(0, size(1000 * MIB, 0, 0, limits)); // usable 900: below the minimum only
    EXPECT_EQ(0, question.calls);
}

TEST_F(HeapSizingTest, PlansAtTheBoundaries) {
    // usable == minimum and usable == preferred are both enough.
    unsigned long long exactly512 = 512ULL * 104857600ULL / 90ULL + 1; // 90 % of it is 512.000...
    EXPECT_EQ(512, planMaxHeap(exactly512, 512, 0, 4096).usableMb);
    EXPECT_EQ(MAX_HEAP_GO, planMaxHeap(exactly512, 512, 512, 4096).check);
    EXPECT_EQ(MAX_HEAP_TOO_LITTLE, planMaxHeap(exactly512, 513, 0, 4096).check);
    EXPECT_EQ(MAX_HEAP_ASK, planMaxHeap(exactly512, 512, 513, 4096).check);
    // A ceiling of zero or less gives no option even with plenty of memory.
    EXPECT_EQ(0, planMaxHeap(6 * GIB, 0, 0, 0).sizeMb);
    EXPECT_EQ(-5, planMaxHeap(6 * GIB, 0, 0, -5).sizeMb);
}

TEST_F(HeapSizingTest, HugeFreeMemoryFiguresDoNotWrapAround) {
    // The 64-bit products freeBytes × 90 and freeBytes × percent would wrap to
    // small figures; the sizes must stay at the top instead.
    const unsigned long long huge = 0xFFFFFFFFFFFFFFFFULL;
    MaxHeapPlan max = planMaxHeap(huge, 512, 2048, 4096);
    EXPECT_EQ(MAX_HEAP_GO, max.check);
    EXPECT_EQ(2147483647, max.usableMb);
    EXPECT_EQ(4096, max.sizeMb);
    InitialHeapPlan initial = planInitialHeap(huge, 0, 100);
    EXPECT_EQ(1500, initial.sizeMb);
    EXPECT_TRUE(initial.capped);
    // Large but exact: 1 TiB × 90 % = 943718.4 MB.
    EXPECT_EQ(943718, planMaxHeap(1024ULL * GIB, 0, 0, 2147483647).sizeMb);
    EXPECT_EQ(1500, planInitialHeap(1024ULL * GIB, 0, 2147483647).sizeMb);
}

} // namespace
