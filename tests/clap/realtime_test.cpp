// The CLAP process and flush under the real-time rules: counts heap allocations
// and mutex locks on the audio thread while the host sends values at frames in
// blocks of every size and the editor's gestures go out as events.

#include "spatium/params.h"
#include "tests/clap/rig.h"
#include "tests/support/countingalloc.h"
#include "tests/support/countinglocks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace clapadapter;

TEST(ClapRealTime, ProcessAndFlushAllocateNothingAndTakeNoLock) {
    for (std::uint32_t inputs : {1u, 2u}) {
        Rig rig(inputs);
        const Plugin& adapter = rig.adapter();
        std::vector<std::vector<float>> in(2, std::vector<float>(4096, 0.25f));
        std::vector<std::vector<float>> out(2, std::vector<float>(4096));
        // The host's lists are built before counting starts.
        std::vector<EventList> blocks(64);
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const auto k = static_cast<double>(b);
            const auto frames = static_cast<std::uint32_t>(1 + (b * 131) % 4096);
            blocks[b].add(0, spatium::kPan, std::fmod(37.0 * k, 180.0) - 90.0);
            blocks[b].add(0, spatium::kTestMono, static_cast<double>(b % 2));
            blocks[b].add(0, spatium::kReserved0, static_cast<double>(b % 17));
            blocks[b].add(frames / 3, spatium::kDistance, -std::fmod(3.0 * k, 24.0));
            blocks[b].add(frames / 2, spatium::kPan, std::fmod(61.0 * k, 180.0) - 90.0);
            blocks[b].add(frames - 1, spatium::kLfoTempo, static_cast<double>(b % 9));
            blocks[b].add(frames - 1, 4242, 1.0); // unknown: ignored
        }
        rig.process(in, out, 256, nullptr, nullptr); // the first block resets the client
        corvid::IHostCommand& editor = *rig.adapter().client().hostCommand();
        EventList sent;
        corvid::testing::takeCountedLocks();
        corvid::testing::takeCountedAllocations();
        for (int round = 0; round < 20; ++round)
            for (std::size_t b = 0; b < blocks.size(); ++b) {
                // The editor's gestures, on the main thread between blocks.
                if (b % 4 == 0) {
                    editor.beginParameterEdit(spatium::kPan);
                    editor.automateParameter(spatium::kPan, 0.25f + 0.001f * b);
                    editor.endParameterEdit(spatium::kPan);
                }
                const auto frames = static_cast<std::uint32_t>(1 + (b * 131) % 4096);
                if (sent.count > 100) sent.count = 0;
                corvid::testing::countAllocationsOnThisThread(true);
                rig.process(in, out, frames, &blocks[b], &sent);
                if (b % 9 == 0) rig.params().flush(rig.plugin, &blocks[b].in, &sent.out);
                corvid::testing::countAllocationsOnThisThread(false);
            }
        EXPECT_EQ(corvid::testing::takeCountedAllocations(), 0) << inputs;
        EXPECT_EQ(corvid::testing::takeCountedLocks(), 0) << inputs;
        EXPECT_GT(sent.count, 0u) << "the gestures went out";
        (void)adapter;
    }
}

} // namespace
