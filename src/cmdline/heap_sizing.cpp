// Interim heap sizing: the free memory is sampled, no option is produced yet.
#include "cmdline/heap_sizing.h"

#include <windows.h>

unsigned long long sampleFreeMemory() {
    MEMORYSTATUS status = {};
    GlobalMemoryStatus(&status);
    return status.dwAvailPhys;
}

void sizeInitialHeap(unsigned long long) {}

int sizeMaxHeap(unsigned long long) { return 1; }
