// The host bypass: untouched output while off, the input delayed by the latency
// while on, and a fade between the two whatever the block sizes.

#include "corvid/host/bypass.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Runs blocks of the given sizes over a ramp input, with "processed" output -1.
std::vector<float> run(corvid::host::Bypass& bypass, const std::vector<int>& blocks,
                       const std::vector<bool>& bypassed, float& next) {
    std::vector<float> result;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const int n = blocks[b];
        std::vector<float> in(static_cast<std::size_t>(n)), left(in.size(), -1.0f),
            right(in.size(), -1.0f);
        for (float& s : in) s = next++;
        const float* ins[] = {in.data(), in.data()};
        float* outs[] = {left.data(), right.data()};
        bypass.setBypassed(bypassed[b]);
        bypass.capture(ins, 1, n);
        bypass.apply(outs, 2, n);
        EXPECT_EQ(left, right);
        result.insert(result.end(), left.begin(), left.end());
    }
    return result;
}

TEST(Bypass, OffLeavesTheOutputOnDelaysTheInputByTheLatency) {
    corvid::host::Bypass bypass;
    bypass.prepare(64, 2, 3, 1);
    float next = 1.0f;
    EXPECT_EQ(run(bypass, {5, 2}, {false, false}, next), std::vector<float>(7, -1.0f));
    // With a one-frame fade the bypass is whole from the first frame; the delayed
    // input carries on from the blocks before, even blocks shorter than the delay.
    const auto out = run(bypass, {4, 1, 1, 5}, {true, true, true, true}, next);
    EXPECT_EQ(out, (std::vector<float>{5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST(Bypass, FadesBothWaysOverItsLength) {
    corvid::host::Bypass bypass;
    bypass.prepare(64, 2, 0, 4);
    float next = 1.0f;
    const auto in = run(bypass, {3, 3}, {true, true}, next);
    // Gains 1/4, 2/4, 3/4, 1 between -1 and the input.
    const std::vector<float> want = {
        1 * 0.25f - 0.75f, 2 * 0.5f - 0.5f, 3 * 0.75f - 0.25f, 4, 5, 6};
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_FLOAT_EQ(in[i], want[i]) << i;
    const auto out = run(bypass, {2, 4}, {false, false}, next);
    EXPECT_FLOAT_EQ(out[0], -1.0f + 0.75f * (7.0f + 1.0f));
    EXPECT_FLOAT_EQ(out[3], -1.0f);
    EXPECT_FLOAT_EQ(out[5], -1.0f);
    bypass.reset();
    EXPECT_EQ(run(bypass, {3}, {false}, next), std::vector<float>(3, -1.0f));
}

} // namespace
