#pragma once
// A test program linking countingalloc.cpp replaces the global allocation
// functions, so it can count the heap allocations made by the threads that ask
// for it (the audio thread of a real-time test) while every other thread
// allocates as usual.

namespace corvid::testing {

// Starts or stops counting the calling thread's allocations.
void countAllocationsOnThisThread(bool on);
bool countingThisThread();
// Allocations counted so far on every counting thread; take also resets.
long countedAllocations();
long takeCountedAllocations();

} // namespace corvid::testing
