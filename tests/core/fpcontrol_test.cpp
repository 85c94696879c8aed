#include "corvid/core/fpcontrol.h"
#include "corvid/core/init.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

#if defined(__x86_64__)
TEST(FpEnvironmentGuard, InstallsFrameworkWordsAndRestoresHostWords) {
    const corvid::FpEnvironment host = corvid::readFpEnvironment();
    {
        corvid::FpEnvironmentGuard guard;
        const corvid::FpEnvironment inside = corvid::readFpEnvironment();
        EXPECT_EQ(inside.mxcsr & 0xFFFF, 0x9FFFu);
        EXPECT_EQ(inside.x87 & 0x1F3F, 0x037Fu & 0x1F3F);

        // Flush-to-zero: the product of two small normals underflows to exactly zero.
        volatile float tiny = std::numeric_limits<float>::min();
        volatile float half = 0.5f;
        EXPECT_EQ(tiny * half, 0.0f);
    }
    const corvid::FpEnvironment after = corvid::readFpEnvironment();
    EXPECT_EQ(after.mxcsr, host.mxcsr);
    EXPECT_EQ(after.x87, host.x87);
}

TEST(FpEnvironmentGuard, NestedGuardsRestoreInOrder) {
    const corvid::FpEnvironment host = corvid::readFpEnvironment();
    {
        corvid::FpEnvironmentGuard outer;
        { corvid::FpEnvironmentGuard inner; }
        EXPECT_EQ(corvid::readFpEnvironment().mxcsr & 0xFFFF, 0x9FFFu);
    }
    EXPECT_EQ(corvid::readFpEnvironment().mxcsr, host.mxcsr);
}
#endif

// Every caller is released at the same moment, so they race for the first call;
// each must come back only once the work is done, and the work runs once.
TEST(GlobalInitialize, RunsOnceUnderConcurrentCallers) {
    ASSERT_EQ(corvid::globalInitializationRuns(), 0);
    ASSERT_FALSE(corvid::isGloballyInitialized());
    constexpr int kCallers = 8;
    std::atomic<int> waiting{kCallers};
    std::atomic<int> returnedEarly{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kCallers; ++i)
        threads.emplace_back([&] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();
            corvid::globalInitialize();
            if (!corvid::isGloballyInitialized()) returnedEarly.fetch_add(1);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(returnedEarly.load(), 0);
    EXPECT_TRUE(corvid::isGloballyInitialized());
    EXPECT_EQ(corvid::globalInitializationRuns(), 1);
    corvid::globalInitialize();
    EXPECT_EQ(corvid::globalInitializationRuns(), 1);
}

} // namespace
