// The product chain takes shortcuts (interleaved filters, skipped identity filters,
// batched delay reads, settled smoothers); over long automated runs it must still
// give exactly what the plain chain gives.

#include "tests/audio/reference_chain.h"
#include "tests/audio/test_support.h"

#include "corvid/client/client.h"
#include "corvid/core/fpcontrol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace spatium;
using namespace spatium::testing;

namespace {

class Automation {
public:
    explicit Automation(unsigned seed) : rng_(seed) {}

    void step(SpatiumClient& c, int frames, double rate) {
        time_ += frames / rate;
        std::uniform_real_distribution<double> u(0.0, 1.0);
        // Continuous sweeps, as a host would automate them.
        setPlain(c, kPan, 90.0 * std::sin(time_ * 1.7));
        setPlain(c, kDistance, -4.0 + 8.0 * std::sin(time_ * 0.9));
        // Occasional jumps, including onto the exact neutral values.
        auto sometimes = [&](double p) { return u(rng_) < p; };
        if (sometimes(0.05)) setPlain(c, kStereoWidth, sometimes(0.3) ? 100.0 : 200.0 * u(rng_));
        if (sometimes(0.05)) setPlain(c, kHeadSize, 200.0 * u(rng_));
        if (sometimes(0.05)) setPlain(c, kSpectralPan, 200.0 * u(rng_));
        if (sometimes(0.05)) setPlain(c, kTilt, -6.0 + 12.0 * u(rng_));
        if (sometimes(0.05)) {
            const double r = u(rng_);
            if (r < 0.1)
                c.floatParameter(kOutputLevel)->applyFromHost(0.0); // minus infinity
            else
                setPlain(c, kOutputLevel, r < 0.3 ? 0.0 : -30.0 + 48.0 * u(rng_));
        }
        if (sometimes(0.04)) {
            const double r = u(rng_);
            setPlain(c, kDryWet, r < 0.3 ? 100.0 : r < 0.4 ? 0.0 : 100.0 * u(rng_));
        }
        if (sometimes(0.02)) setTestMono(c, !c.boolParameter(kTestMono)->value());
        // Long stretches at neutral pan and distance, where the identity shortcuts act.
        if (neutralLeft_ > 0) {
            --neutralLeft_;
            setPlain(c, kPan, 0.0);
            setPlain(c, kDistance, 0.0);
        } else if (sometimes(0.01)) {
            neutralLeft_ = 200;
        }
    }

    void fillInput(std::vector<float>& l, std::vector<float>& r, int frames) {
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        std::uniform_int_distribution<int> pick(0, 99);
        if (silentLeft_ > 0) {
            --silentLeft_;
            std::fill_n(l.begin(), frames, 0.0f);
            std::fill_n(r.begin(), frames, 0.0f);
            return;
        }
        const int k = pick(rng_);
        if (k < 3) silentLeft_ = 40; // long enough for the gate to close
        for (int i = 0; i < frames; ++i) {
            phase_ += 0.05;
            float a = float(0.5 * std::sin(phase_)) + 0.1f * u(rng_);
            float b = 0.4f * u(rng_);
            if (k == 3) a = b = (i & 1) ? -0.0f : 0.0f;
            if (k == 4) b *= 1e-40f;
            if (k == 5 && i == frames / 2) a = std::numeric_limits<float>::quiet_NaN();
            if (k == 6 && i == frames / 3) b = std::numeric_limits<float>::infinity();
            if (k == 7) a = b;
            l[std::size_t(i)] = a;
            r[std::size_t(i)] = b;
        }
    }

    std::mt19937& rng() { return rng_; }

private:
    std::mt19937 rng_;
    double time_ = 0.0;
    double phase_ = 0.0;
    int silentLeft_ = 0;
    int neutralLeft_ = 0;
};

void compareOverLongRun(double rate, int inputs, unsigned seed, int blocks) {
    auto c = corvid::createClient<FeedClient>();
    c->hostReset(rate, 512, inputs, 2);
    ReferenceChain ref;
    ref.reset(rate, 512, inputs);
    Automation automation(seed);
    std::uniform_int_distribution<int> length(1, 1300);
    const std::size_t kMax = 1300;
    std::vector<float> inL(kMax), inR(kMax), outL(kMax), outR(kMax), refL(kMax), refR(kMax);
    std::int64_t frameCount = 0;
    for (int block = 0; block < blocks; ++block) {
        const int n = length(automation.rng());
        automation.step(*c, n, rate);
        automation.fillInput(inL, inR, n);

        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {outL.data(), outR.data()};
        c->hostProcess(ins, outs, n, corvid::TransportInfo{});
        const float* refIns[2] = {inL.data(), inR.data()};
        float* refOuts[2] = {refL.data(), refR.data()};
        ref.processBlock(refIns, refOuts, n, readInputs(*c));

        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(sameBits(outL[std::size_t(i)], refL[std::size_t(i)]))
                << "rate " << rate << " block " << block << " frame " << i << ": "
                << outL[std::size_t(i)] << " vs " << refL[std::size_t(i)];
            ASSERT_TRUE(sameBits(outR[std::size_t(i)], refR[std::size_t(i)]))
                << "rate " << rate << " block " << block << " frame " << i << ": "
                << outR[std::size_t(i)] << " vs " << refR[std::size_t(i)];
        }
        frameCount += n;
    }
    EXPECT_GT(frameCount, std::int64_t(blocks) * 500);
}

// Placements held long enough for every smoother to settle, as a mix with no
// automation plays them: the settled paths run with the shelf and the distance
// filters acting, and with some of them exactly the identity.
void compareSettledPlacements(double rate, unsigned seed) {
    auto c = corvid::createClient<FeedClient>();
    c->hostReset(rate, 512, 2, 2);
    ReferenceChain ref;
    ref.reset(rate, 512, 2);
    Automation automation(seed);
    std::uniform_int_distribution<int> length(1, 1300);
    const std::size_t kMax = 1300;
    std::vector<float> inL(kMax), inR(kMax), outL(kMax), outR(kMax), refL(kMax), refR(kMax);
    struct Placement {
        double pan, distance, width, head, spectral;
    };
    const Placement placements[] = {{45.0, -9.0, 150.0, 150.0, 150.0},
                                    {-90.0, -24.0, 100.0, 200.0, 200.0},
                                    {30.0, 4.0, 80.0, 100.0, 100.0},
                                    {0.0, -9.0, 100.0, 100.0, 100.0},
                                    {-60.0, 0.0, 120.0, 50.0, 0.0}};
    for (const Placement& p : placements) {
        setPlain(*c, kPan, p.pan);
        setPlain(*c, kDistance, p.distance);
        setPlain(*c, kStereoWidth, p.width);
        setPlain(*c, kHeadSize, p.head);
        setPlain(*c, kSpectralPan, p.spectral);
        for (int block = 0; block < 300; ++block) {
            const int n = length(automation.rng());
            automation.fillInput(inL, inR, n);
            float* ins[2] = {inL.data(), inR.data()};
            float* outs[2] = {outL.data(), outR.data()};
            c->hostProcess(ins, outs, n, corvid::TransportInfo{});
            const float* refIns[2] = {inL.data(), inR.data()};
            float* refOuts[2] = {refL.data(), refR.data()};
            ref.processBlock(refIns, refOuts, n, readInputs(*c));
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(sameBits(outL[std::size_t(i)], refL[std::size_t(i)]))
                    << "pan " << p.pan << " block " << block << " frame " << i;
                ASSERT_TRUE(sameBits(outR[std::size_t(i)], refR[std::size_t(i)]))
                    << "pan " << p.pan << " block " << block << " frame " << i;
            }
        }
    }
}

} // namespace

TEST(BitExact, SettledPlacements) {
    compareSettledPlacements(48000.0, 31);
    corvid::FpEnvironmentGuard guard;
    compareSettledPlacements(44100.0, 32);
}

TEST(BitExact, StereoAt48k) {
    compareOverLongRun(48000.0, 2, 21, 2500);
}
TEST(BitExact, MonoAt44k1) {
    compareOverLongRun(44100.0, 1, 22, 2500);
}
TEST(BitExact, StereoAt96k) {
    compareOverLongRun(96000.0, 2, 23, 1500);
}
TEST(BitExact, StereoAt22k05) {
    compareOverLongRun(22050.0, 2, 24, 1500);
}

TEST(BitExact, WithTheHostFloatingPointEnvironment) {
    corvid::FpEnvironmentGuard guard; // denormals flushed, as at every entry point
    compareOverLongRun(48000.0, 2, 25, 2500);
    compareOverLongRun(44100.0, 1, 26, 1500);
}
