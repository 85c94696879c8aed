#include "spatium/blockpasses.h"
#include "spatium/distance.h"
#include "spatium/panner.h"
#include "spatium/panner_kernel.h"

#include "corvid/core/fpcontrol.h"
#include "corvid/core/isa.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using corvid::BiquadCoeffs;
using corvid::isIdentity;
using spatium::BinauralPanner;
using spatium::DistanceStage;

namespace {

double dcGainDb(const BiquadCoeffs& c) {
    return 20.0 * std::log10((double(c.b0) + c.b1 + c.b2) / (1.0 + c.a1 + c.a2));
}

double nyquistGainDb(const BiquadCoeffs& c) {
    return 20.0 * std::log10(std::fabs((double(c.b0) - c.b1 + c.b2) / (1.0 - c.a1 + c.a2)));
}

} // namespace

TEST(DistanceStage, ReferenceDistanceIsNeutral) {
    DistanceStage d;
    d.reset(48000.0f);
    const auto t = d.targets(0.0f);
    EXPECT_EQ(t.gain, 1.0f);
    EXPECT_TRUE(isIdentity(t.farLowpass));
    EXPECT_TRUE(isIdentity(t.farSecond));
    EXPECT_TRUE(isIdentity(t.nearShelf));

    std::vector<float> l(700), r(700), ol(700), orr(700);
    for (int i = 0; i < 700; ++i) {
        l[std::size_t(i)] = std::sin(0.01f * float(i));
        r[std::size_t(i)] = std::cos(0.03f * float(i));
    }
    EXPECT_EQ(d.process(l.data(), r.data(), ol.data(), orr.data(), 500, 0.0f), 1.0f);
    EXPECT_EQ(
        d.process(l.data() + 500, r.data() + 500, ol.data() + 500, orr.data() + 500, 200, 0.0f),
        1.0f);
    EXPECT_EQ(l, ol);
    EXPECT_EQ(r, orr);
}

TEST(DistanceStage, FarthestSettingDarkensAndAttenuates) {
    DistanceStage d;
    d.reset(44100.0f);
    const auto t = d.targets(-24.0f);
    EXPECT_NEAR(t.gain, std::pow(10.0, -31.68 / 20.0), 1e-6);
    // The first far filter's corner is 1552 Hz here.
    const double tt = 1.0 - 2.0 * 1552.0 / 44100.0;
    EXPECT_NEAR(t.farLowpass.a1, -tt * tt, 1e-5);
    EXPECT_NEAR(t.farLowpass.b0, 1.0 - tt * tt, 1e-5);
    EXPECT_NEAR(dcGainDb(t.farLowpass), 0.0, 1e-4);
    // The second section: a pole at -w with w from about 1637 Hz.
    const double w = std::pow(2.0 * (20.0 * std::pow(82.85, 1.0) - 20.0) / 44100.0, 2.0);
    EXPECT_NEAR(t.farSecond.a1, w, 1e-4);
    EXPECT_NEAR(nyquistGainDb(t.farSecond), 0.0, 1e-4);
    EXPECT_TRUE(isIdentity(t.nearShelf));
}

TEST(DistanceStage, JustBeyondReferenceDependsOnTheRate) {
    // The far low-pass starts near 22050 Hz: a real low-pass at 48 kHz, almost nothing
    // at 44.1 kHz where 22050 Hz is the Nyquist frequency.
    DistanceStage d48, d44;
    d48.reset(48000.0f);
    d44.reset(44100.0f);
    const float x = -0.001f;
    EXPECT_NEAR(-d48.targets(x).farLowpass.a1, 0.0066, 3e-4);
    EXPECT_LT(-d44.targets(x).farLowpass.a1, 1e-5f);
    EXPECT_LT(d48.targets(x).gain, 1.0f);
}

TEST(DistanceStage, ClosestSettingLiftsBassAndLevel) {
    DistanceStage d;
    d.reset(48000.0f);
    const auto t = d.targets(6.0f);
    EXPECT_NEAR(t.gain, std::pow(10.0, 4.8 / 20.0), 1e-5);
    EXPECT_NEAR(dcGainDb(t.nearShelf), 2.7, 1e-3);
    EXPECT_NEAR(nyquistGainDb(t.nearShelf), 0.0, 1e-3);
    EXPECT_TRUE(isIdentity(t.farLowpass));
    EXPECT_TRUE(isIdentity(t.farSecond));

    const auto brain = d.targets(3.9f);
    EXPECT_NEAR(dcGainDb(brain.nearShelf), 1.755, 1e-3);
    EXPECT_NEAR(20.0 * std::log10(brain.gain), 3.12, 1e-4);
}

TEST(ShelfDesigns, FollowTheSampleRateWithOrWithoutAReset) {
    // The stages keep their shelves' corners from reset(); a rate set without one must
    // still design for that rate, exactly as a stage reset there does.
    auto sameBits = [](const BiquadCoeffs& a, const BiquadCoeffs& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    for (float rate : {22050.0f, 44100.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        BinauralPanner fresh, moved;
        fresh.reset(rate, 512);
        moved.reset(48000.0f, 512);
        moved.sampleRate = rate;
        DistanceStage freshD, movedD;
        freshD.reset(rate);
        movedD.reset(48000.0f);
        movedD.sampleRate = rate;
        for (float pan : {-1.0f, -0.3f, 0.6f}) {
            EXPECT_TRUE(sameBits(fresh.targets(1.0f, 1.0f, 1.0f, 1.0f, pan).shadowL,
                                 moved.targets(1.0f, 1.0f, 1.0f, 1.0f, pan).shadowL));
            EXPECT_TRUE(sameBits(fresh.targets(1.0f, 1.0f, 1.0f, 1.0f, pan).shadowR,
                                 moved.targets(1.0f, 1.0f, 1.0f, 1.0f, pan).shadowR));
        }
        for (float near : {1.0f, 4.0f, 6.0f})
            EXPECT_TRUE(sameBits(freshD.targets(near).nearShelf, movedD.targets(near).nearShelf));
        // And the kept corner designs what the four-argument form does.
        EXPECT_TRUE(sameBits(fresh.targets(1.0f, 1.0f, 1.0f, 1.0f, 1.0f).shadowL,
                             corvid::highShelf(-11.25f, 25333.803158548093, 1.04, rate)));
    }
}

TEST(BinauralPanner, HardRightAndLeftMirror) {
    BinauralPanner p;
    p.reset(44100.0f, 512);
    const auto right = p.targets(1.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(right.delayL, 32.0f);
    EXPECT_EQ(right.delayR, 3.0f);
    EXPECT_FLOAT_EQ(right.shadowGainL, -11.25f);
    EXPECT_FLOAT_EQ(right.shadowGainR, 3.0f);
    EXPECT_NEAR(right.panGainL, 0.4868, 1e-4);
    EXPECT_NEAR(right.panGainR, 1.2126, 1e-4);
    EXPECT_NEAR(nyquistGainDb(right.shadowL), -11.25, 1e-3);
    EXPECT_NEAR(nyquistGainDb(right.shadowR), 3.0, 1e-3);

    const auto left = p.targets(1.0f, 1.0f, 1.0f, 1.0f, -1.0f);
    EXPECT_EQ(left.delayL, right.delayR);
    EXPECT_EQ(left.delayR, right.delayL);
    EXPECT_EQ(left.shadowGainL, right.shadowGainR);
    EXPECT_EQ(left.shadowGainR, right.shadowGainL);
    EXPECT_EQ(left.panGainL, right.panGainR);
    EXPECT_EQ(left.panGainR, right.panGainL);

    // Half the spectral amount halves the shelf gains.
    const auto half = p.targets(1.0f, 1.0f, 0.5f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(half.shadowGainL, -5.625f);
    EXPECT_FLOAT_EQ(half.shadowGainR, 1.5f);
}

TEST(BinauralPanner, CentreAndClampingAndCloseness) {
    BinauralPanner p;
    p.reset(48000.0f, 512);
    const auto centre = p.targets(0.5f, 1.0f, 2.0f, 2.0f, 0.0f);
    EXPECT_EQ(centre.delayL, 3.0f);
    EXPECT_EQ(centre.delayR, 3.0f);
    EXPECT_TRUE(isIdentity(centre.shadowL));
    EXPECT_TRUE(isIdentity(centre.shadowR));
    EXPECT_EQ(centre.panGainL, 1.0f);
    EXPECT_EQ(centre.panGainR, 1.0f);
    EXPECT_EQ(centre.gainL, 0.5f);

    // Beyond the edge the delays and pan law stop growing, the shelves do not.
    const auto edge = p.targets(1.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    const auto beyond = p.targets(1.0f, 1.0f, 1.0f, 1.0f, 1.5f);
    EXPECT_EQ(beyond.delayL, edge.delayL);
    EXPECT_EQ(beyond.panGainL, edge.panGainL);
    EXPECT_FLOAT_EQ(beyond.shadowGainL, 1.5f * edge.shadowGainL);

    // With no closeness left the pan law is flat whatever the pan.
    const auto far = p.targets(0.7f, 0.0f, 1.0f, 1.0f, -1.0f);
    EXPECT_EQ(far.gainL, 0.7f);
    EXPECT_EQ(far.gainR, 0.7f);
}

TEST(BinauralPanner, DelaysSettleOnWholeFrames) {
    // An impulse train through a hard-right panner: once settled the right ear hears
    // each click 3 frames late and the left ear 32 frames late.
    BinauralPanner p;
    p.reset(44100.0f, 64);
    std::vector<float> l(64), r(64);
    int peakL = -1, peakR = -1;
    for (int block = 0; block < 400; ++block) {
        std::fill(l.begin(), l.end(), 0.0f);
        std::fill(r.begin(), r.end(), 0.0f);
        l[0] = 1.0f;
        r[0] = 1.0f;
        p.process(l.data(), r.data(), 64, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f);
        if (block == 399) {
            for (int i = 0; i < 64; ++i) {
                if (std::fabs(l[std::size_t(i)]) > 0.4f) peakL = i;
                if (std::fabs(r[std::size_t(i)]) > 0.9f) peakR = i;
            }
            EXPECT_NEAR(r[3], p.targets(1, 1, 0, 1, 1).panGainR, 1e-3);
            EXPECT_NEAR(l[32], p.targets(1, 1, 0, 1, 1).panGainL, 1e-3);
        }
    }
    EXPECT_EQ(peakR, 3);
    EXPECT_EQ(peakL, 32);
}

namespace {

// The panner as plain steps over the whole block, one smoother call per frame.
struct PlainPanner {
    BinauralPanner designs; // for its targets only
    corvid::Delayline delayL, delayR;
    corvid::ExpSmoother delayLSmoother, delayRSmoother, gainLSmoother, gainRSmoother;
    vireo::InterpolatedBiquad shadowL, shadowR;

    void reset(float rate, int maxFrames) {
        designs.reset(rate, maxFrames);
        const int size = maxFrames + static_cast<int>(0.002f * rate);
        delayL.resize(size);
        delayR.resize(size);
        delayLSmoother.initialise(2.0f, 0.05f, rate);
        delayRSmoother.initialise(2.0f, 0.05f, rate);
        gainLSmoother.initialise(0.5f, 0.04f, rate);
        gainRSmoother.initialise(0.5f, 0.04f, rate);
        shadowL.reset(rate);
        shadowR.reset(rate);
    }

    void process(float* l, float* r, int n, float gain, float pan) {
        const auto t = designs.targets(gain, 1.0f, 1.0f, 1.0f, pan);
        delayL.feed(l, n);
        delayR.feed(r, n);
        for (int i = 0; i < n; ++i) {
            const float back = static_cast<float>(n - 1 - i);
            l[i] = delayL.readInterpolated(delayLSmoother.next(t.delayL) + back);
            r[i] = delayR.readInterpolated(delayRSmoother.next(t.delayR) + back);
        }
        shadowL.process(t.shadowL, l, l, n);
        shadowR.process(t.shadowR, r, r, n);
        for (int i = 0; i < n; ++i) {
            l[i] = l[i] * gainLSmoother.next(t.gainL);
            r[i] = r[i] * gainRSmoother.next(t.gainR);
        }
    }
};

bool sameFloat(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Gains that settle on values the smoothers' step would not keep (-0, denormals),
// on +0 and normal numbers, and that move; the pan moving or held.
// Sub-blocks up to `longest` frames, beyond one run of the settled reads where longer.
void comparePannerWithPlainSteps(float rate, corvid::Isa isa, int longest = 512) {
    BinauralPanner fast;
    PlainPanner plain;
    fast.reset(rate, longest);
    fast.isa = isa;
    plain.reset(rate, longest);
    const float gains[] = {-0.0f, 0.5f, 1e-39f, 0.0f, -3e-39f, 0.25f, 1.0f};
    const int lengths[] = {longest, 1, 37, 300, 64, longest - 1};
    const auto size = static_cast<std::size_t>(longest);
    std::vector<float> l(size), r(size), pl(size), pr(size);
    int block = 0;
    for (float gain : gains) {
        // Long enough for the gains to reach their targets (about 45000 frames).
        for (int hold = 0; hold < 240; ++hold, ++block) {
            const int n = lengths[block % 6];
            // Held still while the gains settle, then sweeping while they rest.
            const float pan = hold < 200 ? 0.3f : 0.3f - 0.05f * static_cast<float>(hold - 200);
            for (int i = 0; i < n; ++i) {
                const float v = std::sin(0.01f * static_cast<float>(block * 512 + i));
                l[std::size_t(i)] = pl[std::size_t(i)] = v;
                r[std::size_t(i)] = pr[std::size_t(i)] = -0.5f * v;
            }
            fast.process(l.data(), r.data(), n, gain, 1.0f, 1.0f, 1.0f, pan);
            plain.process(pl.data(), pr.data(), n, gain, pan);
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(sameFloat(l[std::size_t(i)], pl[std::size_t(i)]))
                    << corvid::isaName(isa) << " gain " << gain << " block " << block << " frame "
                    << i;
                ASSERT_TRUE(sameFloat(r[std::size_t(i)], pr[std::size_t(i)]))
                    << corvid::isaName(isa) << " gain " << gain << " block " << block << " frame "
                    << i;
            }
            ASSERT_TRUE(sameFloat(fast.gainSmootherL.current, plain.gainLSmoother.current));
            ASSERT_TRUE(sameFloat(fast.gainSmootherR.current, plain.gainRSmoother.current));
            ASSERT_TRUE(sameFloat(fast.delaySmootherL.current, plain.delayLSmoother.current));
        }
    }
}

} // namespace

TEST(BinauralPanner, MatchesPlainStepsWhereSmoothersRestOnSignedZerosAndDenormals) {
    for (corvid::Isa isa : corvid::supportedIsas()) {
        comparePannerWithPlainSteps(48000.0f, isa);
        comparePannerWithPlainSteps(96000.0f, isa, 1100);
        corvid::FpEnvironmentGuard guard;
        comparePannerWithPlainSteps(44100.0f, isa);
    }
}

// The moving loop's wider bodies against the baseline's on values a host can hand in
// or a filter can reach: NaNs, infinities, signed zeros and denormals in the samples,
// the shelf's memory and the smoothers, and chunks shorter than the next one or last.
TEST(BinauralPanner, MovingLoopBodiesMatchTheBaselineBitForBit) {
    namespace pd = spatium::panner_detail;
    const float odd[] = {std::nanf(""), INFINITY, -INFINITY, -0.0f, 1e-40f, -3e-39f, 0.0f};
    const double oddD[] = {NAN, INFINITY, -0.0, 1e-310, 1e-12, -2.5, 0.0};
    const int lengths[][2] = {{32, 32}, {32, 0}, {5, 32}, {32, 7}, {0, 13}, {1, 1}};
    unsigned seed = 12345;
    auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    };
    const pd::MovingBody bodies[] = {&pd::movingSse2, &pd::movingAvx2, &pd::movingAvx512};
    for (int trial = 0; trial < 300; ++trial) {
        pd::MovingJob job;
        float l[pd::kChunk], r[pd::kChunk], gains[pd::kChunk][4];
        for (int i = 0; i < pd::kChunk; ++i) {
            l[i] = random();
            r[i] = (i + trial) % 9 == 0 ? odd[(i + trial) % 7] : random();
            for (float& g : gains[i]) g = random();
        }
        // Shelves of the panner's kind (stable, gain between -12 and +12 dB).
        const BiquadCoeffs shelf = corvid::highShelf(12.0f * random(), 25333.803158548093, 1.04,
                                                     trial % 2 ? 48000.0f : 44100.0f);
        const float c[5] = {shelf.b0, shelf.b1, shelf.b2, shelf.a1, shelf.a2};
        for (int j = 0; j < 5; ++j) job.coeffs[j][0] = job.coeffs[j][1] = c[j];
        for (int j = 0; j < 4; ++j)
            for (int side = 0; side < 2; ++side)
                job.memory[j][side] =
                    trial % 5 == side + j ? oddD[(trial + j) % 7] : double(random());
        for (int k = 0; k < 4; ++k) {
            job.target[k] = trial % 3 == 0 ? odd[(trial / 3 + k) % 7] : random();
            // Some at rest, some a hair from the target (they snap), some far.
            job.current[k] = k == trial % 4   ? job.target[k]
                             : k == trial % 3 ? job.target[k] + 1e-11f
                                              : random();
            job.coefficient[k] = 0.001f * static_cast<float>(k + 1);
        }
        job.n = lengths[trial % 6][0];
        job.nn = lengths[trial % 6][1];

        pd::MovingJob base = job;
        float bl[pd::kChunk], br[pd::kChunk], bnext[pd::kChunk][4] = {};
        std::memcpy(bl, l, sizeof l);
        std::memcpy(br, r, sizeof r);
        base.gains = gains;
        base.next = bnext;
        base.left = bl;
        base.right = br;
        pd::movingSse2(base);
        for (corvid::Isa isa : corvid::supportedIsas()) {
            pd::MovingJob wide = job;
            float wl[pd::kChunk], wr[pd::kChunk], wnext[pd::kChunk][4] = {};
            std::memcpy(wl, l, sizeof l);
            std::memcpy(wr, r, sizeof r);
            wide.gains = gains;
            wide.next = wnext;
            wide.left = wl;
            wide.right = wr;
            corvid::IsaBodies<pd::MovingBody>{bodies[0], bodies[1], bodies[2]}[isa](wide);
            // Where two NaNs meet, which one comes out depends on the operand order the
            // compiler picks for an addition (Clang swaps them in the wider bodies), so a
            // NaN sample counts as the same NaN, as in the test above.
            for (int i = 0; i < pd::kChunk; ++i) {
                EXPECT_TRUE(sameFloat(wl[i], bl[i])) << corvid::isaName(isa) << " " << trial;
                EXPECT_TRUE(sameFloat(wr[i], br[i])) << corvid::isaName(isa) << " " << trial;
            }
            EXPECT_EQ(std::memcmp(wnext, bnext, sizeof wnext), 0) << corvid::isaName(isa);
            EXPECT_EQ(std::memcmp(wide.current, base.current, sizeof wide.current), 0);
            EXPECT_EQ(std::memcmp(wide.memory, base.memory, sizeof wide.memory), 0);
        }
    }
}

// The chain's block passes of every set against their plain loops, on blocks of every
// length up to a few vectors of the widest lanes, with NaNs, infinities, signed zeros
// and denormals among the samples.
TEST(BlockPasses, MatchPlainLoopsBitForBit) {
    const float odd[] = {std::nanf(""), INFINITY, -INFINITY, -0.0f, 1e-40f, -3e-39f, 0.0f, 0.0f};
    unsigned seed = 777;
    auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    };
    for (corvid::Isa isa : corvid::supportedIsas()) {
        const spatium::BlockPasses& passes = spatium::blockPasses(isa);
        for (int n = 0; n <= 70; ++n) {
            const auto size = static_cast<std::size_t>(n);
            std::vector<float> l(size), r(size);
            for (int i = 0; i < n; ++i) {
                l[std::size_t(i)] = (i * 7 + n) % 11 == 0 ? odd[(i + n) % 8] : random();
                r[std::size_t(i)] = (i * 5 + n) % 13 == 0 ? odd[(i + 2 * n) % 8] : random();
            }
            const float c = random(), gl = random(), gr = n % 3 ? random() : -0.0f;

            std::vector<float> wl = l, wr = r, pl = l, pr = r;
            passes.width(wl.data(), wr.data(), c, n);
            for (int i = 0; i < n; ++i) {
                const float m = pl[std::size_t(i)] + pr[std::size_t(i)];
                const float s = (pl[std::size_t(i)] - pr[std::size_t(i)]) * c;
                pl[std::size_t(i)] = m + s;
                pr[std::size_t(i)] = m - s;
            }
            passes.scale(wl.data(), wr.data(), gl, gr, n);
            for (int i = 0; i < n; ++i) {
                pl[std::size_t(i)] = pl[std::size_t(i)] * gl;
                pr[std::size_t(i)] = pr[std::size_t(i)] * gr;
            }
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(sameFloat(wl[std::size_t(i)], pl[std::size_t(i)]))
                    << corvid::isaName(isa) << " " << n << " " << i;
                ASSERT_TRUE(sameFloat(wr[std::size_t(i)], pr[std::size_t(i)]))
                    << corvid::isaName(isa) << " " << n << " " << i;
            }

            // Silence: all zeros of either sign, then one sample of sound anywhere.
            std::vector<float> z(size);
            for (int i = 0; i < n; ++i) z[std::size_t(i)] = i % 3 ? 0.0f : -0.0f;
            EXPECT_TRUE(passes.silent(z.data(), n)) << corvid::isaName(isa) << " " << n;
            for (int at = 0; at < n; ++at) {
                for (float sound : {odd[0], odd[4], 1.0f}) {
                    z[std::size_t(at)] = sound;
                    EXPECT_FALSE(passes.silent(z.data(), n))
                        << corvid::isaName(isa) << " " << n << " at " << at;
                }
                z[std::size_t(at)] = 0.0f;
            }

            // Delays reaching back from the block's end, some past 2^24 frames where
            // the conversion rounds.
            const int back = n % 2 ? n - 1 : (1 << 24) + 3 * n + 1;
            const float cl = 3.0f + 0.25f * random(), cr = 3.5f;
            std::vector<float> dl(size), dr(size);
            passes.delays(dl.data(), dr.data(), cl, cr, back, n);
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(sameFloat(dl[std::size_t(i)], cl + static_cast<float>(back - i)));
                ASSERT_TRUE(sameFloat(dr[std::size_t(i)], cr + static_cast<float>(back - i)));
            }
        }
    }
}
