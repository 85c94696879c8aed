#pragma once
// Locks shared by the framework. Parameters each own a reentrant lock: the host
// and editor paths may re-enter it (setFromEditor reads the normalised value while
// holding it), while the audio thread never takes it.

#include <mutex>

namespace corvid {

class ReentrantLock {
public:
    void lock() { mutex_.lock(); }
    bool tryLock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

    // Standard Lockable names, so std::lock_guard and std::unique_lock work.
    bool try_lock() { return tryLock(); }

private:
    std::recursive_mutex mutex_;
};

using ScopedLock = std::lock_guard<ReentrantLock>;

} // namespace corvid
