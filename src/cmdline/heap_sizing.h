// The -Xms and -Xmx options from the free physical memory.
#pragma once

// One sample of the free physical memory, in bytes.
unsigned long long sampleFreeMemory();

// Appends the initial-heap option to launcherArgs when one is configured.
void sizeInitialHeap(unsigned long long freeBytes);

// Checks the memory limits and appends the maximum-heap option; 0 stops the launch.
int sizeMaxHeap(unsigned long long freeBytes);
