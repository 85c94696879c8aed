#include "corvid/core/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

using corvid::ThreadPool;

TEST(ThreadPool, EveryIndexRunsExactlyOnceOffTheCallingThread) {
    for (int workers : {1, 2, 5}) {
        ThreadPool pool(workers);
        const std::thread::id caller = std::this_thread::get_id();
        for (int round = 0; round < 200; ++round) {
            const int count = 2 + round % 37;
            std::vector<std::atomic<int>> hits(static_cast<size_t>(count));
            std::atomic<int> onCaller{0};
            pool.runParallel(count, [&](int i) {
                hits[static_cast<size_t>(i)].fetch_add(1);
                if (std::this_thread::get_id() == caller) onCaller.fetch_add(1);
            });
            for (int i = 0; i < count; ++i) ASSERT_EQ(hits[static_cast<size_t>(i)].load(), 1);
            ASSERT_EQ(onCaller.load(), 0);
        }
    }
}

TEST(ThreadPool, SingleJobRunsInlineWithoutWakingAWorker) {
    ThreadPool pool(2);
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ranOn;
    int calls = 0;
    for (int i = 0; i < 100; ++i) {
        pool.runParallel(1, [&](int index) {
            EXPECT_EQ(index, 0);
            ranOn = std::this_thread::get_id();
            ++calls;
        });
    }
    EXPECT_EQ(calls, 100);
    EXPECT_EQ(ranOn, caller);
    EXPECT_EQ(pool.jobsTakenByWorkers(), 0u);

    pool.runParallel(0, [&](int) { ++calls; });
    pool.runParallel(-3, [&](int) { ++calls; });
    EXPECT_EQ(calls, 100);
    EXPECT_EQ(pool.jobsTakenByWorkers(), 0u);
}

TEST(ThreadPool, JobsOfOneBatchRunConcurrentlyOnSeveralWorkers) {
    ThreadPool pool(2);
    std::mutex m;
    std::set<std::thread::id> threads;
    std::atomic<int> arrived{0};
    // Each job waits until both have started, which only ends if two workers run them.
    pool.runParallel(2, [&](int) {
        arrived.fetch_add(1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (arrived.load() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        std::lock_guard<std::mutex> lock(m);
        threads.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(arrived.load(), 2);
    EXPECT_EQ(threads.size(), 2u);
}

TEST(ThreadPool, WithTheCallerEveryIndexRunsOnceAndTheCallerTakesItsShare) {
    for (int workers : {1, 2, 5}) {
        ThreadPool pool(workers);
        for (int round = 0; round < 200; ++round) {
            const int count = 2 + round % 37;
            std::vector<std::atomic<int>> hits(static_cast<size_t>(count));
            pool.runParallelWithCaller(count,
                                       [&](int i) { hits[static_cast<size_t>(i)].fetch_add(1); });
            // Returning means every job has finished, not only the caller's.
            for (int i = 0; i < count; ++i) ASSERT_EQ(hits[static_cast<size_t>(i)].load(), 1);
        }
    }
    // Each job holds its thread until the other has started, so with one worker the
    // batch only ends if the caller runs a job itself.
    ThreadPool pool(1);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> started{0};
    std::atomic<int> onCaller{0};
    pool.runParallelWithCaller(2, [&](int) {
        if (std::this_thread::get_id() == caller) onCaller.fetch_add(1);
        started.fetch_add(1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (started.load() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    });
    EXPECT_EQ(started.load(), 2);
    EXPECT_EQ(onCaller.load(), 1);
    EXPECT_EQ(pool.jobsTakenByWorkers(), 1u);
}

TEST(ThreadPool, WithTheCallerSmallBatchesAndStartedBatchesStayApart) {
    ThreadPool pool(2);
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ranOn;
    pool.runParallelWithCaller(1, [&](int index) {
        EXPECT_EQ(index, 0);
        ranOn = std::this_thread::get_id();
    });
    EXPECT_EQ(ranOn, caller);
    int calls = 0;
    pool.runParallelWithCaller(0, [&](int) { ++calls; });
    pool.runParallelWithCaller(-2, [&](int) { ++calls; });
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(pool.jobsTakenByWorkers(), 0u);

    // A batch still running from startParallel is finished before the caller joins
    // the next one, so neither batch runs the other's callable.
    std::atomic<int> first{0}, second{0};
    pool.startParallel(40, [&](int) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        first.fetch_add(1);
    });
    pool.runParallelWithCaller(64, [&](int) {
        EXPECT_EQ(first.load(), 40);
        second.fetch_add(1);
    });
    EXPECT_EQ(first.load(), 40);
    EXPECT_EQ(second.load(), 64);
}

TEST(ThreadPool, StartThenWaitLetsTheCallerWorkMeanwhile) {
    ThreadPool pool(2);
    std::atomic<int> sum{0};
    {
        // The pool must keep its own copy: this callable dies before the wait.
        std::vector<int> values{1, 2, 3, 4, 5, 6, 7, 8};
        pool.startParallel(
            8, [&sum, values](int i) { sum.fetch_add(values[static_cast<size_t>(i)]); });
    }
    pool.waitParallel();
    EXPECT_EQ(sum.load(), 36);

    pool.waitParallel(); // nothing pending: returns at once

    // A second start while the first still runs must not lose or mix up jobs.
    std::atomic<int> first{0}, second{0};
    pool.startParallel(50, [&](int) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        first.fetch_add(1);
    });
    pool.startParallel(30, [&](int) { second.fetch_add(1); });
    pool.runParallel(4, [&](int) { second.fetch_add(1); });
    EXPECT_EQ(first.load(), 50);
    EXPECT_EQ(second.load(), 34);
}

TEST(ThreadPool, DestructionWaitsForARunningBatch) {
    std::atomic<int> done{0};
    {
        ThreadPool pool(2);
        pool.startParallel(20, [&](int) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            done.fetch_add(1);
        });
    }
    EXPECT_EQ(done.load(), 20);
}

} // namespace
