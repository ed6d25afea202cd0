// The -Xms and -Xmx options from the free physical memory.
//
// The arithmetic is kept apart from the records, the locale and the message
// box, so it can be checked with any free-memory figure and any language.
#pragma once

#include <windows.h>

#include "core/bounded_text.h"

// One sample of the free physical memory, in bytes.
unsigned long long sampleFreeMemory();

// Appends the initial-heap option to launcherArgs when one is configured
// (CFG_INITIAL_HEAP_MB, CFG_INITIAL_HEAP_PERCENT).
void sizeInitialHeap(unsigned long long freeBytes);

// Checks the memory limits (CFG_MIN_HEAP_MB, CFG_PREFERRED_HEAP_MB) and appends
// the maximum-heap option (CFG_MAX_HEAP_MB); 0 stops the launch, with the
// memory text in messageText when there is too little memory, or messageText
// unchanged when the user declined to go on with little memory.
int sizeMaxHeap(unsigned long long freeBytes);

// --- The pure parts -------------------------------------------------------

// The initial heap never goes beyond this, whatever runtime is started.
const int INITIAL_HEAP_CAP_MB = 1500;

struct InitialHeapPlan {
    int sizeMb;      // 0: no -Xms option
    int requestedMb; // the size before the cap (equal to sizeMb when not capped)
    bool capped;
};

// The larger of the floor and `percent` % of the free memory, in MB, cut to
// INITIAL_HEAP_CAP_MB. A negative floor gives no option; a negative
// percentage counts as 0.
InitialHeapPlan planInitialHeap(unsigned long long freeBytes, int floorMb, int percent);

enum MaxHeapCheck {
    MAX_HEAP_GO,          // enough memory
    MAX_HEAP_ASK,         // below the preferred amount: the user decides
    MAX_HEAP_TOO_LITTLE,  // below the minimum: the launch fails
};

struct MaxHeapPlan {
    MaxHeapCheck check;
    int usableMb; // 90 % of the free memory, in MB
    int sizeMb;   // the -Xmx figure once the launch goes on; 0 or less: no option
};

MaxHeapPlan planMaxHeap(unsigned long long freeBytes, int minMb, int preferredMb, int maxMb);

// The memory texts in the user's language: Spanish when the locale's primary
// language is Spanish, English for every other language. Latin-1 bytes, each
// the character of the same code (appendText widens them).
struct MemoryTexts {
    const char* tooLittleBefore; // ...then the minimum in MB...
    const char* tooLittleAfter;
    const char* lowMemoryQuestion;
};
const MemoryTexts& memoryTextsFor(LCID locale);

// --- The steps with their surroundings passed in (for tests) ---------------

typedef int (*AskUserCall)(const wchar_t* text, const wchar_t* title, UINT type);

void applyInitialHeap(TextBuffer& args, unsigned long long freeBytes, int floorMb, int percent);
int applyMaxHeap(TextBuffer& args, unsigned long long freeBytes, int minMb, int preferredMb, int maxMb, LCID locale,
                 AskUserCall askUser);
