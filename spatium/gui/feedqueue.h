#pragma once
// A ring of fixed-size items from the audio thread to the editor. One producer
// pushes without ever waiting (an item that meets a held lock is dropped), one
// consumer reads at the producer's real-time rate, so what the editor shows trails
// the audio by the queue depth and moves at the speed the audio does.
//
// The lock is held only for short copies. Its storage is allocated once, at
// construction; pushing and reading never allocate.

#include "corvid/core/error.h"
#include "corvid/core/sync.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace spatium {

template <typename Item>
class TimedFeedQueue {
    static_assert(std::is_trivially_copyable_v<Item>, "items are copied under a short lock");

public:
    // The producer's rate before its first push.
    static constexpr float kInitialItemsPerSecond = 44100.0f;
    // The consumer runs this much fast, so the ring drains slightly quicker than it
    // fills and does not creep towards full when the two clocks differ.
    static constexpr float kConsumerSpeedUp = 1.01f;

    // capacity: a power of two. decimationMask: a push is stored only when the push
    // counter masked by it is 0 (0 keeps every item, 3 one in four). rateScale turns
    // the producer's items per second into items consumed per second.
    TimedFeedQueue(std::int64_t capacity, std::int32_t decimationMask, float rateScale)
        : capacity_(capacity), indexMask_(static_cast<std::int32_t>(capacity - 1)),
          decimationMask_(decimationMask), rateScale_(rateScale) {
        if (capacity <= 0 || capacity > (std::int64_t{1} << 30) || (capacity & (capacity - 1)) != 0)
            corvid::fatalError("feed queue capacity must be a power of two");
        items_ = std::make_unique<Item[]>(static_cast<std::size_t>(capacity));
    }

    TimedFeedQueue(const TimedFeedQueue&) = delete;
    TimedFeedQueue& operator=(const TimedFeedQueue&) = delete;

    // Producer. Records the producer's rate, then, if the lock is free at once,
    // offers every item to the ring under that one lock; when the ring is full
    // the oldest item gives way. Returns false when the lock was busy and the
    // items were dropped.
    bool push(const Item* items, std::int32_t n, float itemsPerSecond) {
        itemsPerSecond_.store(itemsPerSecond, std::memory_order_relaxed);
        if (!lock_.tryLock()) return false;
        for (std::int32_t i = 0; i < n; ++i) {
            ++pushCounter_;
            if ((pushCounter_ & static_cast<std::uint32_t>(decimationMask_)) != 0) continue;
            items_[static_cast<std::size_t>((readIndex_ + count_) & indexMask_)] = items[i];
            if (count_ < capacity_) {
                ++count_;
            } else {
                readIndex_ = (readIndex_ + 1) & indexMask_;
            }
        }
        lock_.unlock();
        return true;
    }
    bool push(const Item& item, float itemsPerSecond) { return push(&item, 1, itemsPerSecond); }

    // Consumer, once per animation frame of dt seconds. Copies up to maxItems of the
    // oldest items into out without removing them, then, if any were copied,
    // consumes as many items as the producer made in the time since the last
    // successful read, never eating into the last `keep`. Returns the items copied,
    // 0 when the ring is empty or the producer holds the lock.
    std::int32_t read(Item* out, std::int32_t maxItems, std::int32_t keep, double dt) {
        pendingTime_ += static_cast<float>(dt) * kConsumerSpeedUp;
        if (!lock_.tryLock()) return 0;
        const std::int32_t n = std::clamp(count_, 0, std::max(maxItems, 0));
        for (std::int32_t i = 0; i < n; ++i)
            out[i] = items_[static_cast<std::size_t>((readIndex_ + i) & indexMask_)];
        if (n > 0) {
            float c = itemsPerSecond_.load(std::memory_order_relaxed) * pendingTime_ * rateScale_ +
                      remainder_;
            c = std::min(c, static_cast<float>(count_ - std::max(keep, 0)));
            // Written so that a NaN rate (a broken sample rate) consumes nothing
            // instead of reaching the integer conversion.
            if (!(c > 0.0f)) c = 0.0f;
            const auto whole = static_cast<std::int32_t>(c);
            count_ -= whole;
            readIndex_ = (readIndex_ + whole) & indexMask_;
            remainder_ = c - static_cast<float>(whole);
            pendingTime_ = 0.0f;
        }
        lock_.unlock();
        return n;
    }

    // Guards the ring. Exposed so a caller can check that the producer drops
    // rather than waits while the consumer side holds it.
    corvid::ReentrantLock& lock() { return lock_; }

    std::int64_t capacity() const { return capacity_; }
    float itemsPerSecond() const { return itemsPerSecond_.load(std::memory_order_relaxed); }
    // Items waiting; only meaningful while no other thread is using the queue.
    std::int32_t size() const { return count_; }

private:
    std::int64_t capacity_;
    std::unique_ptr<Item[]> items_;
    std::int32_t count_ = 0;
    // Kept reduced by the index mask so it never overflows however long the ring runs.
    std::int32_t readIndex_ = 0;
    // Unsigned: it wraps after hours of audio, and the decimation pattern with it.
    std::uint32_t pushCounter_ = 0;
    std::atomic<float> itemsPerSecond_{kInitialItemsPerSecond};
    std::int32_t indexMask_;
    std::int32_t decimationMask_;
    float rateScale_;
    corvid::ReentrantLock lock_;
    float pendingTime_ = 0.0f;
    float remainder_ = 0.0f;
};

} // namespace spatium
