#include "spatium/gui/feedqueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <limits>
#include <thread>
#include <vector>

namespace {

using spatium::TimedFeedQueue;
using namespace std::chrono_literals;

std::vector<int> pushSequence(TimedFeedQueue<int>& q, int from, int to, float rate = 1000.0f) {
    std::vector<int> v;
    for (int i = from; i < to; ++i) v.push_back(i);
    q.push(v.data(), static_cast<std::int32_t>(v.size()), rate);
    return v;
}

std::vector<int> peekAll(TimedFeedQueue<int>& q) {
    std::vector<int> out(static_cast<std::size_t>(q.capacity()));
    // dt 0 consumes nothing: the read only looks.
    out.resize(static_cast<std::size_t>(
        q.read(out.data(), static_cast<std::int32_t>(out.size()), 0, 0.0)));
    return out;
}

TEST(FeedQueue, KeepsOneInEveryDecimationStepAndOverwritesTheOldest) {
    TimedFeedQueue<int> decimated(64, 3, 1.0f);
    pushSequence(decimated, 0, 16);
    EXPECT_EQ(peekAll(decimated), (std::vector<int>{3, 7, 11, 15}));
    // The counter carries on across pushes: the next kept item is the fourth again.
    pushSequence(decimated, 16, 20);
    EXPECT_EQ(peekAll(decimated), (std::vector<int>{3, 7, 11, 15, 19}));

    TimedFeedQueue<int> full(4, 0, 1.0f);
    pushSequence(full, 0, 6);
    EXPECT_EQ(full.size(), 4);
    EXPECT_EQ(peekAll(full), (std::vector<int>{2, 3, 4, 5}));
    // Wrapping many times over keeps the newest capacity items in order.
    pushSequence(full, 6, 1003);
    EXPECT_EQ(peekAll(full), (std::vector<int>{999, 1000, 1001, 1002}));
}

TEST(FeedQueue, ProducerDropsInsteadOfWaitingWhileTheLockIsHeld) {
    TimedFeedQueue<int> q(16, 0, 1.0f);
    std::promise<void> locked, release;
    std::thread editor([&] {
        q.lock().lock();
        locked.set_value();
        release.get_future().wait();
        q.lock().unlock();
    });
    locked.get_future().wait();

    // Pushed from a third thread so a producer that waited would show as a timeout
    // here instead of a hung test.
    auto pushed = std::async(std::launch::async, [&] {
        const int item = 42;
        return q.push(&item, 1, 48000.0f);
    });
    const bool returned = pushed.wait_for(5s) == std::future_status::ready;
    EXPECT_TRUE(returned) << "the producer waited for the lock";
    int out = 0;
    EXPECT_EQ(q.read(&out, 1, 0, 0.015), 0) << "the consumer must not wait either";
    release.set_value();
    editor.join();
    EXPECT_FALSE(pushed.get());

    // The item is lost, but the producer's rate was still recorded.
    EXPECT_EQ(q.size(), 0);
    EXPECT_EQ(q.itemsPerSecond(), 48000.0f);
    const int next = 7;
    EXPECT_TRUE(q.push(&next, 1, 48000.0f));
    EXPECT_EQ(peekAll(q), std::vector<int>{7});
}

TEST(FeedQueue, ConsumesAtTheProducersRateSlightlyFastAndKeepsTheRemainder) {
    // 1000 items per second; 100 frames of 10 ms consume one second's worth plus
    // the consumer's 1 % lead. Without carrying the fractional part it would be
    // 10 per frame, 1000 in all.
    TimedFeedQueue<int> q(4096, 0, 1.0f);
    pushSequence(q, 0, 4000, 1000.0f);
    int item = -1;
    for (int frame = 0; frame < 100; ++frame) ASSERT_EQ(q.read(&item, 1, 0, 0.01), 1);
    const int consumed = 4000 - q.size();
    EXPECT_GE(consumed, 1009);
    EXPECT_LE(consumed, 1010);
    // What a read shows is the oldest item left.
    ASSERT_EQ(q.read(&item, 1, 0, 0.0), 1);
    EXPECT_EQ(item, consumed);

    // The rate scale turns items per second into items consumed: a quarter here.
    TimedFeedQueue<int> quarter(4096, 0, 0.25f);
    pushSequence(quarter, 0, 4000, 1000.0f);
    for (int frame = 0; frame < 100; ++frame) quarter.read(&item, 1, 0, 0.01);
    EXPECT_NEAR(4000 - quarter.size(), 252, 1);
}

TEST(FeedQueue, TimeWithoutAReadCountsAtTheNextAndKeepStaysUnconsumed) {
    TimedFeedQueue<int> q(1024, 0, 1.0f);
    int out[4] = {};
    // An empty queue reads nothing, but the time still passes.
    EXPECT_EQ(q.read(out, 1, 0, 0.05), 0);
    pushSequence(q, 0, 500, 1000.0f);
    EXPECT_EQ(q.read(out, 1, 0, 0.05), 1);
    EXPECT_EQ(out[0], 0);
    // 0.1 s at 1000 items/s, 1 % fast: about 101 consumed for the two frames.
    EXPECT_NEAR(500 - q.size(), 101, 1);

    // Reading copies the oldest without removing them.
    const int before = q.size();
    ASSERT_EQ(q.read(out, 4, 0, 0.0), 4);
    EXPECT_EQ(q.size(), before);
    EXPECT_EQ(out[1], out[0] + 1);

    // However long the gap, `keep` items stay; asking to keep more than is there
    // consumes nothing.
    EXPECT_EQ(q.read(out, 1, 10, 100.0), 1);
    EXPECT_EQ(q.size(), 10);
    EXPECT_EQ(q.read(out, 1, 50, 100.0), 1);
    EXPECT_EQ(q.size(), 10);
}

TEST(FeedQueue, ABrokenProducerRateConsumesNothingRatherThanMisbehaving) {
    for (const float rate : {std::numeric_limits<float>::quiet_NaN(), -48000.0f, 0.0f}) {
        TimedFeedQueue<int> q(64, 0, 1.0f);
        pushSequence(q, 0, 10, rate);
        int out = 0;
        EXPECT_EQ(q.read(&out, 1, 0, 0.015), 1);
        EXPECT_EQ(q.size(), 10) << rate;
    }
    // An infinite rate drains what is there, no more.
    TimedFeedQueue<int> q(64, 0, 1.0f);
    pushSequence(q, 0, 10, std::numeric_limits<float>::infinity());
    int out = 0;
    EXPECT_EQ(q.read(&out, 1, 2, 0.015), 1);
    EXPECT_EQ(q.size(), 2);
}

} // namespace
