// Host changes inside a block take effect at their frames: the block runner cuts
// the block there, and the client sees each value from its frame on.

#include "corvid/host/blockrunner.h"
#include "corvid/host/hostvalues.h"
#include "tests/client/test_client.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

namespace {

// Records the value of parameter 0 at the start of every sub-block.
class ValueClient : public testing_support::TestClient {
public:
    using TestClient::TestClient;
    void processSubBlock(const float* const* in, float* const* out, std::int32_t frames,
                         corvid::TransportInfo transport) override {
        TestClient::processSubBlock(in, out, frames, transport);
        seen.push_back(dynamic_cast<corvid::FloatParameter&>(*parameter(0)).value());
        for (std::int32_t i = 0; i < frames; ++i) out[0][i] = out[1][i] = in[0][i];
    }
    std::vector<double> seen;
};

// Changes to parameter 0 at given frames, in order.
class Changes : public corvid::host::IBlockEvents {
public:
    Changes(corvid::host::HostValues& values, std::vector<std::pair<int, double>> points)
        : values_(values), points_(std::move(points)) {}
    std::int32_t applyUntil(std::int32_t frame) override {
        calls.push_back(frame);
        while (next_ < points_.size() && points_[next_].first <= frame)
            values_.takeNormalized(0, points_[next_++].second);
        return next_ < points_.size() ? points_[next_].first
                                      : std::numeric_limits<std::int32_t>::max();
    }
    std::vector<std::int32_t> calls;

private:
    corvid::host::HostValues& values_;
    std::vector<std::pair<int, double>> points_;
    std::size_t next_ = 0;
};

TEST(BlockRunner, ChangesTakeEffectAtTheirFrames) {
    auto client = corvid::createClient<ValueClient>(0, 2, 1);
    corvid::host::HostValues values(*client);
    corvid::host::BlockRunner runner(*client, 1024);
    runner.restart(48000.0);
    std::vector<float> in(600), left(600), right(600);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<float>(i);
    const float* ins[] = {in.data()};
    float* outs[] = {left.data(), right.data()};
    ASSERT_TRUE(runner.prepare(48000.0, 1, 2, ins, outs).ready);

    // Two changes inside the block, one at its start and one past its end.
    Changes changes(values, {{0, 0.1}, {100, 0.2}, {100, 0.3}, {450, 0.4}, {600, 0.9}});
    runner.process(ins, outs, 600, {}, changes);
    ASSERT_EQ(client->calls.size(), 3u);
    EXPECT_EQ(client->calls[0].frames, 100);
    EXPECT_EQ(client->calls[1].frames, 350);
    EXPECT_EQ(client->calls[2].frames, 150);
    EXPECT_EQ(client->calls[1].samplePosition, 100);
    EXPECT_EQ(client->calls[2].in0, in.data() + 450);
    EXPECT_EQ(client->seen, (std::vector<double>{1.0, 3.0, 4.0}));
    // The change at the block's end is applied after it, ready for the next one.
    EXPECT_DOUBLE_EQ(dynamic_cast<corvid::FloatParameter&>(*client->parameter(0)).value(), 9.0);
    // Every frame went through, in place.
    for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(left[i], in[i]) << i;
}

TEST(BlockRunner, CutBlocksAreSlicedAtTheLargestHostBlockToo) {
    auto client = corvid::createClient<ValueClient>(0, 2, 1);
    corvid::host::HostValues values(*client);
    corvid::host::BlockRunner runner(*client, 256);
    runner.restart(44100.0);
    std::vector<float> in(700, 0.5f), left(700), right(700);
    const float* ins[] = {in.data()};
    float* outs[] = {left.data(), right.data()};
    ASSERT_TRUE(runner.prepare(44100.0, 1, 2, ins, outs).ready);
    Changes changes(values, {{300, 0.5}});
    runner.process(ins, outs, 700, {}, changes);
    std::vector<std::int32_t> frames;
    for (const auto& call : client->calls) frames.push_back(call.frames);
    EXPECT_EQ(frames, (std::vector<std::int32_t>{256, 44, 256, 144}));
}

} // namespace
