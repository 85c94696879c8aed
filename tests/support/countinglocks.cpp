#include "tests/support/countinglocks.h"

#include "tests/support/countingalloc.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>

namespace {

std::atomic<long> gLocks{0};
using MutexLockFn = int (*)(pthread_mutex_t*);

} // namespace

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
    static const auto next = reinterpret_cast<MutexLockFn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    if (corvid::testing::countingThisThread()) gLocks.fetch_add(1, std::memory_order_relaxed);
    return next(mutex);
}

extern "C" int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    static const auto next =
        reinterpret_cast<MutexLockFn>(dlsym(RTLD_NEXT, "pthread_mutex_trylock"));
    if (corvid::testing::countingThisThread()) gLocks.fetch_add(1, std::memory_order_relaxed);
    return next(mutex);
}

namespace corvid::testing {

long takeCountedLocks() {
    return gLocks.exchange(0);
}

} // namespace corvid::testing
