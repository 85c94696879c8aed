// The VST3 process() under the real-time rules: counts heap allocations and mutex
// locks on the audio thread while the host automates every kind of parameter at
// frames inside blocks of every size, bypasses and flushes.

#include "spatium/params.h"
#include "tests/support/countingalloc.h"
#include "tests/support/countinglocks.h"
#include "tests/vst3adapter/rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

namespace {

using namespace vst3test;

TEST(Vst3RealTime, ProcessAllocatesNothingAndTakesNoLock) {
    for (int inputs : {1, 2}) {
        Rig rig(inputs, 48000.0, 4096);
        auto in = noise(2, 4096);
        std::vector<std::vector<float>> out(2, std::vector<float>(4096));
        // The changes are built before counting starts: they are the host's.
        std::vector<Changes> blocks(64);
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const auto k = static_cast<double>(b);
            const int frames = static_cast<int>(1 + (b * 131) % 4096);
            blocks[b].add(spatium::kPan, 0, std::fmod(0.37 * k, 1.0));
            blocks[b].add(spatium::kPan, frames / 2, std::fmod(0.61 * k, 1.0));
            blocks[b].add(spatium::kDistance, frames / 3, std::fmod(0.23 * k, 1.0));
            blocks[b].add(spatium::kTestMono, 0, static_cast<double>(b % 2));
            blocks[b].add(spatium::kLfoTempo, frames - 1, std::fmod(0.11 * k, 1.0));
            blocks[b].add(spatium::kReserved0, 0, std::fmod(0.07 * k, 1.0));
            blocks[b].add(corvid::vst3::kBypassId, 0, b % 7 == 3 ? 1.0 : 0.0);
        }
        rig.process(in, out, 0, 256); // the first block resets the client
        corvid::testing::takeCountedLocks();
        corvid::testing::takeCountedAllocations();
        corvid::testing::countAllocationsOnThisThread(true);
        for (int round = 0; round < 40; ++round)
            for (std::size_t b = 0; b < blocks.size(); ++b) {
                const int frames = static_cast<int>(1 + (b * 131) % 4096);
                rig.process(in, out, 0, frames, &blocks[b], b % 5 == 0 ? 3 : 0);
                if (b % 9 == 0) rig.process(in, out, 0, 0, &blocks[b]); // a flush
            }
        corvid::testing::countAllocationsOnThisThread(false);
        EXPECT_EQ(corvid::testing::takeCountedAllocations(), 0) << inputs;
        EXPECT_EQ(corvid::testing::takeCountedLocks(), 0) << inputs;
    }
}

} // namespace
