// Heap sizing: the initial heap from a floor and a share of the free memory,
// the maximum heap from 90 % of it under a ceiling, and the two guards that
// stop or question a launch when memory is short.
#include "cmdline/heap_sizing.h"

#include "config/config_records.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "core/launcher_variant.h"
#include "diag/console_io.h"
#include "diag/debug_log.h"
#include "diag/ui_calls.h"

namespace {

const unsigned long long BYTES_PER_MB = 1048576ULL;
// percent × bytes / (100 × 1 MB) is that percentage of the free memory in MB.
const unsigned long long PERCENT_MB_DIVISOR = 100ULL * BYTES_PER_MB;
const int USABLE_PERCENT = 90;
const int INT_LIMIT = 2147483647;

// freeBytes × percent / 104857600, truncated, without the 64-bit product
// wrapping around: the whole multiples of the divisor and the remainder are
// scaled apart. Results beyond the int range are held at its limit.
int percentOfFreeMb(unsigned long long freeBytes, int percent) {
    if (percent <= 0) return 0;
    unsigned long long p = static_cast<unsigned long long>(percent);
    unsigned long long wholes = freeBytes / PERCENT_MB_DIVISOR;
    unsigned long long rest = freeBytes % PERCENT_MB_DIVISOR; // < 2^27, so rest × p < 2^58
    if (wholes > static_cast<unsigned long long>(INT_LIMIT) / p) return INT_LIMIT;
    unsigned long long mb = wholes * p + rest * p / PERCENT_MB_DIVISOR;
    return mb > static_cast<unsigned long long>(INT_LIMIT) ? INT_LIMIT : static_cast<int>(mb);
}

long long freeMb(unsigned long long freeBytes) { return static_cast<long long>(freeBytes / BYTES_PER_MB); }

void appendHeapOption(TextBuffer& args, const wchar_t* prefix, int sizeMb) {
    appendText(args, prefix);
    appendDecimal(args, sizeMb);
    appendText(args, "m ");
}

const MemoryTexts ENGLISH_TEXTS = {
    "Not enough memory.\n\nThis application needs minimum ",
    " MB of free RAM",
    "This computer is running in low memory, but the application can be launched\n"
    "You may experience low performance later.\n\n"
    "Are you sure you want to continue?",
};

const MemoryTexts SPANISH_TEXTS = {
    "No hay memoria libre suficiente.\n\nSon necesarios al menos ",
    " Mb, de RAM libres",
    "Hay poca memoria libre, pero la aplicaci\xF3n puede funcionar\n"
    "Puede que experimente problemas de rendimiento m\xE1s adelante.\n\n"
    "\xBF" "Est\xE1 seguro de que quiere continuar?",
};

} // namespace

unsigned long long sampleFreeMemory() {
    MEMORYSTATUS status = {};
    GlobalMemoryStatus(&status);
    return status.dwAvailPhys;
}

InitialHeapPlan planInitialHeap(unsigned long long freeBytes, int floorMb, int percent) {
    InitialHeapPlan plan = {0, 0, false};
    // A negative floor beats any share, so it asks for no initial heap. A
    // negative share of memory means nothing and counts as none: the floor
    // still applies.
    if (floorMb < 0) return plan;
    int share = percentOfFreeMb(freeBytes, percent);
    int size = share > floorMb ? share : floorMb;
    if (size <= 0) return plan;
    plan.requestedMb = size;
    plan.capped = size > INITIAL_HEAP_CAP_MB;
    plan.sizeMb = plan.capped ? INITIAL_HEAP_CAP_MB : size;
    return plan;
}

MaxHeapPlan planMaxHeap(unsigned long long freeBytes, int minMb, int preferredMb, int maxMb) {
    MaxHeapPlan plan;
    plan.usableMb = percentOfFreeMb(freeBytes, USABLE_PERCENT);
    // The minimum is tested first: with preferred <= minimum nobody is asked.
    if (plan.usableMb < minMb) {
        plan.check = MAX_HEAP_TOO_LITTLE;
    } else if (plan.usableMb < preferredMb) {
        plan.check = MAX_HEAP_ASK;
    } else {
        plan.check = MAX_HEAP_GO;
    }
    plan.sizeMb = plan.usableMb < maxMb ? plan.usableMb : maxMb;
    return plan;
}

const MemoryTexts& memoryTextsFor(LCID locale) {
    // The primary language is the low ten bits of the language id; comparing
    // fewer bits would also catch unrelated languages (0x042A, say).
    return PRIMARYLANGID(LANGIDFROMLCID(locale)) == LANG_SPANISH ? SPANISH_TEXTS : ENGLISH_TEXTS;
}

void applyInitialHeap(TextBuffer& args, unsigned long long freeBytes, int floorMb, int percent) {
    if (percent < 0) percent = 0; // no share of memory, as the log then says
    InitialHeapPlan plan = planInitialHeap(freeBytes, floorMb, percent);
    if (plan.sizeMb <= 0) return;
    if (plan.capped) {
        logLine("Heap limit:\tReduced %d MB heap size to 32-bit maximum %zd MB\n", plan.requestedMb,
                static_cast<long long>(INITIAL_HEAP_CAP_MB));
    }
    logLine("Heap %s:\t%zd MB / %d%%, Free: %zd MB, Heap size: %d MB\n", L"-Xms", static_cast<long long>(floorMb),
            percent, freeMb(freeBytes), plan.sizeMb);
    appendHeapOption(args, L"-Xms", plan.sizeMb);
}

int applyMaxHeap(TextBuffer& args, unsigned long long freeBytes, int minMb, int preferredMb, int maxMb, LCID locale,
                 AskUserCall askUser) {
    MaxHeapPlan plan = planMaxHeap(freeBytes, minMb, preferredMb, maxMb);
    // Both stops are the launcher's own decisions: no system text goes with them.
    if (plan.check == MAX_HEAP_TOO_LITTLE) {
        clearFailureCode();
        const MemoryTexts& texts = memoryTextsFor(locale);
        TextBuffer message = emptyTextBuffer(messageText, MESSAGE_CAPACITY);
        appendText(message, texts.tooLittleBefore);
        appendDecimal(message, minMb);
        appendText(message, texts.tooLittleAfter);
        return 0;
    }
    if (plan.check == MAX_HEAP_ASK) {
        // Only an explicit Yes goes on; a box that cannot be shown counts as No.
        wchar_t question[MESSAGE_CAPACITY];
        TextBuffer b = emptyTextBuffer(question, MESSAGE_CAPACITY);
        appendText(b, memoryTextsFor(locale).lowMemoryQuestion);
        if (askUser(question, errorTitle, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
            clearFailureCode();
            return 0;
        }
    }
    if (plan.sizeMb <= 0) return 1;
    logLine("Heap %s:\t min:%d MB pref:%d max:%d , Free: %zd MB, Heap size: %d MB\n", L"-Xmx", minMb, preferredMb,
            maxMb, freeMb(freeBytes), plan.sizeMb);
    appendHeapOption(args, L"-Xmx", plan.sizeMb);
    return 1;
}

void sizeInitialHeap(unsigned long long freeBytes) {
    int floorMb = loadConfigInt<CFG_INITIAL_HEAP_MB>();
    int percent = loadConfigInt<CFG_INITIAL_HEAP_PERCENT>();
    TextBuffer args = textBufferOver(launcherArgs, LONG_TEXT_CAPACITY);
    applyInitialHeap(args, freeBytes, floorMb, percent);
}

int sizeMaxHeap(unsigned long long freeBytes) {
    int minMb = loadConfigInt<CFG_MIN_HEAP_MB>();
    int preferredMb = loadConfigInt<CFG_PREFERRED_HEAP_MB>();
    int maxMb = loadConfigInt<CFG_MAX_HEAP_MB>();
    // A damaged record must not lead to a question about a wrong figure.
    if (configFaulted()) return 0;
    TextBuffer args = textBufferOver(launcherArgs, LONG_TEXT_CAPACITY);
    return applyMaxHeap(args, freeBytes, minMb, preferredMb, maxMb, GetThreadLocale(),
                        CONSOLE_LAUNCHER ? askOnConsole : showMessageBox);
}
