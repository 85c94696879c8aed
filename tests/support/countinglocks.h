#pragma once
// A test program linking countinglocks.cpp replaces pthread_mutex_lock and
// pthread_mutex_trylock, so it can count the locks taken by the threads that
// count their allocations (see countingalloc.h): every std::mutex and
// std::recursive_mutex goes through them.

namespace corvid::testing {

// Locks counted so far on every counting thread; take also resets.
long takeCountedLocks();

} // namespace corvid::testing
