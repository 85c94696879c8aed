#include "corvid/core/fpcontrol.h"
#include "corvid/core/init.h"

#include <gtest/gtest.h>

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
        {
            corvid::FpEnvironmentGuard inner;
        }
        EXPECT_EQ(corvid::readFpEnvironment().mxcsr & 0xFFFF, 0x9FFFu);
    }
    EXPECT_EQ(corvid::readFpEnvironment().mxcsr, host.mxcsr);
}
#endif

TEST(GlobalInitialize, RunsOnceUnderConcurrentCallers) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([] { corvid::globalInitialize(); });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(corvid::isGloballyInitialized());
}

} // namespace
