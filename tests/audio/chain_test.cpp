#include "tests/audio/test_support.h"

#include "corvid/client/client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace spatium;
using namespace spatium::testing;

namespace {

std::unique_ptr<FeedClient> makeClient(double rate, int inputs) {
    auto c = corvid::createClient<FeedClient>();
    c->hostReset(rate, 512, inputs, 2);
    return c;
}

// One host block; inR is ignored by a mono client.
void run(SpatiumClient& c, const float* inL, const float* inR, float* outL, float* outR,
         int frames) {
    float* ins[2] = {const_cast<float*>(inL), const_cast<float*>(inR)};
    float* outs[2] = {outL, outR};
    c.hostProcess(ins, outs, frames, corvid::TransportInfo{});
}

struct Output {
    std::vector<float> l, r;
};

Output render(SpatiumClient& c, const std::vector<float>& inL, const std::vector<float>& inR,
              int block) {
    Output o{std::vector<float>(inL.size()), std::vector<float>(inL.size())};
    for (std::size_t done = 0; done < inL.size(); done += std::size_t(block)) {
        const int n = int(std::min<std::size_t>(std::size_t(block), inL.size() - done));
        run(c, inL.data() + done, inR.data() + done, o.l.data() + done, o.r.data() + done, n);
    }
    return o;
}

void placeEverything(SpatiumClient& c) {
    setPlain(c, kDistance, -9.5);
    setPlain(c, kStereoWidth, 140.0);
    setPlain(c, kPan, 35.0);
    setPlain(c, kHeadSize, 120.0);
    setPlain(c, kSpectralPan, 150.0);
    setPlain(c, kOutputLevel, -4.0);
    setPlain(c, kTilt, 2.0);
}

} // namespace

TEST(Chain, DryWetZeroGivesTheInputBackThreeFramesLate) {
    const double rate = 48000.0;
    auto c = makeClient(rate, 2);
    placeEverything(*c);
    setPlain(*c, kOutputLevel, 12.0);
    setPlain(*c, kDryWet, 0.0);
    const std::size_t n = 96000;
    const auto inL = tones(n, float(rate));
    const auto inR = tones(n, float(rate), 1.3f);
    const Output o = render(*c, inL, inR, 512);
    // The delay smoothers stall about 3e-4 frames short of 3 (their last step is too
    // small to move a float), so compare with a tolerance once they have settled.
    float worst = 0.0f;
    for (std::size_t i = n / 2; i < n; ++i) {
        worst = std::max(worst, std::fabs(o.l[i] - inL[i - 3]));
        worst = std::max(worst, std::fabs(o.r[i] - inR[i - 3]));
    }
    EXPECT_LT(worst, 2e-5f);
    RecordProperty("worstDeviation", std::to_string(worst));
}

TEST(Chain, MonoSourceCentredGivesIdenticalChannels) {
    for (double distance : {0.0, -10.0, 4.0}) {
        auto c = makeClient(44100.0, 1);
        setPlain(*c, kHeadSize, 180.0);
        setPlain(*c, kSpectralPan, 40.0);
        setPlain(*c, kOutputLevel, 5.0);
        setPlain(*c, kDistance, distance);
        const auto in = noise(20000, 3);
        const Output o = render(*c, in, in, 300);
        for (std::size_t i = 0; i < in.size(); ++i)
            ASSERT_TRUE(sameBits(o.l[i], o.r[i])) << "distance " << distance << " frame " << i;
    }
}

TEST(Chain, TestMonoGivesBitIdenticalChannels) {
    auto c = makeClient(48000.0, 2);
    placeEverything(*c);
    setTestMono(*c, true);
    const auto inL = noise(10000, 4);
    const auto inR = noise(10000, 5);
    const Output o = render(*c, inL, inR, 333);
    for (std::size_t i = 0; i < inL.size(); ++i) ASSERT_TRUE(sameBits(o.l[i], o.r[i])) << i;
    EXPECT_NE(o.l[5000], 0.0f);
}

TEST(Chain, SilenceGateHoldsForTheTailThenOutputsZeros) {
    constexpr std::size_t kBlock = 480;
    const int block = int(kBlock); // threshold at 48 kHz is 4800 frames: ten blocks
    auto c = makeClient(48000.0, 2);
    placeEverything(*c);
    const auto sound = noise(kBlock, 6);
    const std::vector<float> silence(kBlock, 0.0f);
    std::vector<float> l(kBlock), r(kBlock);
    for (int i = 0; i < 4; ++i) run(*c, sound.data(), sound.data(), l.data(), r.data(), block);
    EXPECT_EQ(c->silentFrames(), 0);
    EXPECT_EQ(c->silenceThreshold(), 4800);

    for (int i = 1; i <= 10; ++i) {
        run(*c, silence.data(), silence.data(), l.data(), r.data(), block);
        EXPECT_EQ(c->silentFrames(), std::int64_t(i) * block);
        // The first silent block still carries the end of the sound out of the delays.
        if (i == 1) {
            EXPECT_NE(*std::max_element(l.begin(), l.end()), 0.0f);
        }
    }
    std::fill(l.begin(), l.end(), 1.0f);
    std::fill(r.begin(), r.end(), 1.0f);
    run(*c, silence.data(), silence.data(), l.data(), r.data(), block);
    for (std::size_t i = 0; i < l.size(); ++i) {
        ASSERT_EQ(l[i], 0.0f);
        ASSERT_EQ(r[i], 0.0f);
    }

    // Muted blocks leave the stages alone: however long the silence, the sound that
    // follows comes out the same.
    auto other = makeClient(48000.0, 2);
    placeEverything(*other);
    for (int i = 0; i < 4; ++i) run(*other, sound.data(), sound.data(), l.data(), r.data(), block);
    for (int i = 0; i < 11; ++i)
        run(*other, silence.data(), silence.data(), l.data(), r.data(), block);
    for (int i = 0; i < 40; ++i) run(*c, silence.data(), silence.data(), l.data(), r.data(), block);
    std::vector<float> l2(l.size()), r2(r.size());
    run(*c, sound.data(), sound.data(), l.data(), r.data(), block);
    run(*other, sound.data(), sound.data(), l2.data(), r2.data(), block);
    EXPECT_EQ(l, l2);
    EXPECT_EQ(r, r2);
    EXPECT_EQ(c->silentFrames(), 0);

    // A NaN is not silence: it restarts the count and the block is rendered.
    for (int i = 0; i < 12; ++i) run(*c, silence.data(), silence.data(), l.data(), r.data(), block);
    std::vector<float> odd(silence);
    odd[100] = std::numeric_limits<float>::quiet_NaN();
    run(*c, silence.data(), odd.data(), l.data(), r.data(), block);
    EXPECT_EQ(c->silentFrames(), 0);
    EXPECT_TRUE(std::isnan(r[103]) || std::isnan(l[103]));
}

TEST(Chain, OutputIsFiniteAgainSoonAfterNonFiniteInput) {
    for (double distance : {0.0, -6.0, 3.0}) {
        const double rate = 48000.0;
        auto c = makeClient(rate, 2);
        placeEverything(*c);
        setPlain(*c, kDistance, distance);
        auto inL = tones(48000, float(rate));
        auto inR = tones(48000, float(rate), 0.4f);
        const std::size_t burst = 10000;
        for (std::size_t i = burst; i < burst + 40; ++i) {
            inL[i] = (i % 2) ? std::numeric_limits<float>::quiet_NaN()
                             : std::numeric_limits<float>::infinity();
            inR[i] = -std::numeric_limits<float>::infinity();
        }
        const Output o = render(*c, inL, inR, 512);
        std::size_t lastBad = 0;
        for (std::size_t i = 0; i < o.l.size(); ++i)
            if (!std::isfinite(o.l[i]) || !std::isfinite(o.r[i])) lastBad = i;
        EXPECT_GE(lastBad, burst);
        // The delay lines hold 1024 frames at this rate; the filters must not keep the
        // poison any longer than that.
        EXPECT_LT(lastBad, burst + 40 + 1024) << "distance " << distance;
        EXPECT_NE(o.l.back(), 0.0f);
    }
}

TEST(Chain, InPlaceProcessingMatchesSeparateBuffers) {
    // Which of three buffers the host passes for each channel: 0 and 1 start out
    // holding the two input signals, 2 is spare.
    struct Wiring {
        int inputs, inL, inR, outL, outR;
    };
    const Wiring wirings[] = {
        {1, 0, 0, 0, 2}, // the mono input is also the left output
        {1, 0, 0, 2, 0}, // ... or the right output
        {2, 0, 1, 0, 1}, // each output over its own input
        {2, 0, 1, 1, 0}, // each output over the other channel's input
        {2, 0, 1, 0, 2}, // left in place, right apart
    };
    const auto sigL = noise(9000, 7);
    const auto sigR = noise(9000, 8);
    const int blocks[] = {512, 100, 1300, 7};
    // At the reference distance the distance filters copy their input through, which
    // is where overwritten inputs would show.
    for (double distance : {-9.5, 0.0}) {
        for (const Wiring& w : wirings) {
            auto ref = makeClient(44100.0, w.inputs);
            auto c = makeClient(44100.0, w.inputs);
            for (SpatiumClient* x :
                 {static_cast<SpatiumClient*>(ref.get()), static_cast<SpatiumClient*>(c.get())}) {
                placeEverything(*x);
                setPlain(*x, kDistance, distance);
            }
            const std::vector<float>& refR = w.inputs == 2 ? sigR : sigL;
            std::vector<float> expL(sigL.size()), expR(sigL.size());
            std::vector<float> buf[3] = {sigL, w.inputs == 2 ? sigR : sigL,
                                         std::vector<float>(sigL.size())};
            std::size_t done = 0;
            for (int k = 0; done < sigL.size(); ++k) {
                const int n =
                    int(std::min<std::size_t>(std::size_t(blocks[k % 4]), sigL.size() - done));
                run(*ref, sigL.data() + done, refR.data() + done, expL.data() + done,
                    expR.data() + done, n);
                run(*c, buf[w.inL].data() + done, buf[w.inR].data() + done,
                    buf[w.outL].data() + done, buf[w.outR].data() + done, n);
                done += std::size_t(n);
            }
            for (std::size_t i = 0; i < sigL.size(); ++i) {
                ASSERT_TRUE(sameBits(buf[w.outL][i], expL[i]))
                    << "wiring " << (&w - wirings) << " distance " << distance << " frame " << i;
                ASSERT_TRUE(sameBits(buf[w.outR][i], expR[i]))
                    << "wiring " << (&w - wirings) << " distance " << distance << " frame " << i;
            }
        }
    }
}

TEST(Chain, EditorFeedSeesTheOutputAndChangesNothing) {
    const double rate = 44100.0;
    auto withEditor = makeClient(rate, 2);
    auto without = makeClient(rate, 2);
    RecordingEditor* rec = withEditor->recorder();
    ASSERT_NE(rec, nullptr);
    for (SpatiumClient* c : {static_cast<SpatiumClient*>(withEditor.get()),
                             static_cast<SpatiumClient*>(without.get())}) {
        placeEverything(*c);
        setPlain(*c, kDryWet, 50.0);
    }
    const auto inL = noise(5000, 9);
    const auto inR = noise(5000, 10);
    const Output a = render(*withEditor, inL, inR, 1000);
    const Output b = render(*without, inL, inR, 1000);
    EXPECT_EQ(a.l, b.l);
    EXPECT_EQ(a.r, b.r);

    // Ten sub-blocks: 512 + 488 frames per host block.
    EXPECT_EQ(rec->panoramaCalls, 10);
    EXPECT_EQ(rec->phaseCalls, 10);
    EXPECT_EQ(rec->left, a.l);
    EXPECT_EQ(rec->right, a.r);
    EXPECT_EQ(rec->phaseRate, 44100.0f);
    const auto& p = rec->placements.back();
    EXPECT_FLOAT_EQ(p.pan, 35.0f * 0.5f / 90.0f);
    EXPECT_FLOAT_EQ(p.distance, -9.5f * 0.5f);
    EXPECT_FLOAT_EQ(p.tilt, 1.0f);
    EXPECT_EQ(p.level, 1.0f);
    EXPECT_EQ(p.sampleRate, 44100.0f);

    // While someone else holds the editor the audio thread skips the feed.
    ASSERT_NE(withEditor->tryTakeEditor(), nullptr);
    std::vector<float> l(100), r(100);
    run(*withEditor, inL.data(), inR.data(), l.data(), r.data(), 100);
    EXPECT_EQ(rec->phaseCalls, 10);
    withEditor->releaseEditor();
    run(*withEditor, inL.data(), inR.data(), l.data(), r.data(), 100);
    EXPECT_EQ(rec->phaseCalls, 11);
}

TEST(Chain, WithoutScratchTheSubBlockIsSilent) {
    auto c = makeClient(48000.0, 2);
    // A reset for empty sub-blocks leaves no scratch; a host that then sends frames
    // anyway gets silence instead of writes past the buffers.
    c->resetState(48000.0, 0, 2, 2);
    EXPECT_EQ(c->scratchFrames(), 0u);
    const auto in = noise(64, 11);
    std::vector<float> l(64, 1.0f), r(64, 1.0f);
    const float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {l.data(), r.data()};
    c->processSubBlock(ins, outs, 64, corvid::TransportInfo{});
    EXPECT_EQ(l, std::vector<float>(64, 0.0f));
    EXPECT_EQ(r, std::vector<float>(64, 0.0f));
}

TEST(Chain, ResetClearsEveryStage) {
    auto c = makeClient(48000.0, 2);
    placeEverything(*c);
    const auto inL = noise(3000, 12);
    const auto inR = noise(3000, 13);
    const Output first = render(*c, inL, inR, 512);
    c->hostReset(48000.0, 512, 2, 2);
    const Output second = render(*c, inL, inR, 512);
    EXPECT_EQ(first.l, second.l);
    EXPECT_EQ(first.r, second.r);
}

TEST(Chain, InertParametersLeaveTheAudioUntouched) {
    // Stored, automated and saved, but never heard: the M-to-S and LFO controls,
    // Tilt (it only tints the editor's panorama) and the reserved slots.
    std::vector<std::int32_t> inert{kMidToSideAmount, kMidToSideDelay, kMidToSideLowpass, kTilt};
    for (std::int32_t i = kLfoWave; i <= kLfoToTilt; ++i) inert.push_back(i);
    for (std::int32_t i = kReserved0; i < kParameterCount; ++i) inert.push_back(i);
    ASSERT_EQ(inert.size(), 4u + 9u + 21u);

    const auto inL = noise(6000, 14);
    const auto inR = noise(6000, 15);
    // Each inert parameter held at one end for the first half of the render and
    // moved to the other end for the second, as automation would.
    auto renderWith = [&](const std::vector<std::int32_t>& moved, double first) {
        auto c = makeClient(48000.0, 2);
        placeEverything(*c);
        setPlain(*c, kDryWet, 70.0);
        for (std::int32_t i : moved) c->parameter(i)->applyFromHost(first);
        const std::size_t half = 3000;
        Output o = render(*c, std::vector<float>(inL.begin(), inL.begin() + half),
                          std::vector<float>(inR.begin(), inR.begin() + half), 333);
        for (std::int32_t i : moved) c->parameter(i)->applyFromHost(1.0 - first);
        const Output rest = render(*c, std::vector<float>(inL.begin() + half, inL.end()),
                                   std::vector<float>(inR.begin() + half, inR.end()), 333);
        o.l.insert(o.l.end(), rest.l.begin(), rest.l.end());
        o.r.insert(o.r.end(), rest.r.begin(), rest.r.end());
        return o;
    };
    auto sameBitsAll = [](const std::vector<float>& a, const std::vector<float>& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
    };

    const Output reference = renderWith({}, 0.0);
    // The comparison sees a change in a parameter that does act.
    const Output panned = renderWith({kPan}, 0.0);
    EXPECT_FALSE(sameBitsAll(panned.l, reference.l));

    for (double first : {0.0, 1.0}) {
        for (std::int32_t i : inert) {
            const Output o = renderWith({i}, first);
            EXPECT_TRUE(sameBitsAll(o.l, reference.l) && sameBitsAll(o.r, reference.r))
                << "parameter " << i << " from " << first;
        }
        const Output all = renderWith(inert, first);
        EXPECT_TRUE(sameBitsAll(all.l, reference.l) && sameBitsAll(all.r, reference.r))
            << "all together from " << first;
    }
}
